#include "app/history_view.h"

#include <algorithm>
#include <ctime>

namespace rankmoth::app {

std::string SortLabel(std::string_view sort) {
    const auto known = base::SortOfKey(sort);
    return std::string(known ? base::EntryOf(*known).label : sort);
}

std::string ChangeText(const history::SortStanding& standing) {
    if (!standing.hasChange || standing.state != base::ItemState::Found)
        return {};
    if (standing.change == 0)
        return "=";
    return (standing.change > 0 ? "↑" : "↓") + std::to_string(standing.change > 0 ? standing.change : -standing.change);
}

std::vector<bool> BreaksBefore(const std::vector<base::Clock::time_point>& times) {
    std::vector<bool> breaks(times.size(), false);
    if (times.size() < 3)
        return breaks;
    std::vector<base::Clock::duration> pauses;
    for (std::size_t i = 1; i < times.size(); ++i)
        pauses.push_back(times[i] - times[i - 1]);
    std::vector<base::Clock::duration> sorted = pauses;
    const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>((sorted.size() - 1) / 2);
    std::nth_element(sorted.begin(), middle, sorted.end());
    const auto median = *middle;
    for (std::size_t i = 1; i < times.size(); ++i)
        breaks[i] = pauses[i - 1] > 2 * median;
    return breaks;
}

std::vector<TimelineRow> BuildTimeline(const history::ItemTimeline& timeline) {
    std::vector<TimelineRow> rows;
    for (int s = 0; s < history::kSortCount; ++s) {
        TimelineRow row{std::string(base::kSortTable[s].key), {}};
        std::vector<base::Clock::time_point> times;
        for (const history::TimelinePoint& p : timeline.sorts[static_cast<std::size_t>(s)]) {
            const bool found = p.state == base::ItemState::Found;
            row.cells.push_back(
                {p.state, found ? p.page : 0, found ? base::ZoneOfSlice(p.slice) : base::Zone::None, p.started});
            base::Clock::time_point at{};
            history::ParseIsoTime(p.started, at);
            times.push_back(at);
        }
        const std::vector<bool> breaks = BreaksBefore(times);
        for (std::size_t i = 0; i < row.cells.size(); ++i)
            row.cells[i].breakBefore = breaks[i];
        rows.push_back(std::move(row));
    }
    return rows;
}

ChartPlan PlanPositionChart(const std::vector<history::TimelinePoint>& points) {
    ChartPlan plan;
    std::vector<base::Clock::time_point> times;
    for (const history::TimelinePoint& p : points) {
        times.emplace_back();
        history::ParseIsoTime(p.started, times.back());
    }
    const std::vector<bool> breaks = BreaksBefore(times);
    bool inRun = false;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const history::TimelinePoint& p = points[i];
        const base::Clock::time_point at = times[i];
        const int position = history::PositionOf(p.state, p.page, p.slice);
        if (position > 0) {
            if (!inRun || breaks[i])
                plan.runs.emplace_back();
            plan.runs.back().push_back({at, position});
            plan.worst = std::max(plan.worst, position);
            inRun = true;
            continue;
        }
        inRun = false;
        (p.state == base::ItemState::NotFound ? plan.notFound : plan.incomplete).push_back({at, 0});
    }
    return plan;
}

PositionAxis PlanPositionAxis(int lowest) {
    const int last = std::max(lowest, 10);
    PositionAxis axis;
    // At most about six ticks, on steps a reader counts in.
    for (const int step : {1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 2000, 5000}) {
        axis.step = step;
        if ((last - 1) / step <= 6)
            break;
    }
    // A marker is drawn around its point: half a step, or a twentieth of the span, keeps it off the frame.
    const double margin = std::max(0.5, (last - 1) / 20.0);
    axis.top = 1 - margin;
    axis.bottom = last + margin;
    return axis;
}

Disagreement DisagreementOf(const std::array<history::SortStanding, history::kSortCount>& sorts) {
    int low = 0, high = 0;
    std::string missing;
    std::string tip;
    for (int s = 0; s < history::kSortCount; ++s) {
        const history::SortStanding& standing = sorts[static_cast<std::size_t>(s)];
        if (!standing.checked)
            continue;
        const std::string label(base::kSortTable[s].label);
        tip += (tip.empty() ? "" : "，") + label + " " +
               history::PlaceLabel(standing.state, standing.page, standing.slice);
        if (standing.state == base::ItemState::Found) {
            low = low == 0 ? standing.page : std::min(low, standing.page);
            high = std::max(high, standing.page);
        } else if (standing.state == base::ItemState::NotFound) {
            missing += (missing.empty() ? "" : "、") + label;
        }
    }
    if (low > 0 && high - low >= history::kDisagreePages)
        return {"⚠ 相差" + std::to_string(high - low) + "页", tip};
    // The page limits of the passes may differ, so a miss is no distance; that one sort sees the item and
    // another does not is the plainest disagreement there is.
    if (low > 0 && !missing.empty())
        return {"⚠ " + missing + "未找到", tip};
    return {};
}

std::string ShortLocalTime(const std::string& stored) {
    base::Clock::time_point at{};
    if (!history::ParseIsoTime(stored, at))
        return stored;
    const std::time_t t = base::Clock::to_time_t(at);
    std::tm local{};
    localtime_r(&t, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%m-%d %H:%M", &local);
    return buffer;
}

int PlaceSortKey(const history::SortStanding& standing) {
    if (!standing.checked)
        return kUnplacedSortKey + 3;
    const int position = standing.position();
    if (position > 0)
        return position;
    return standing.state == base::ItemState::NotFound ? kUnplacedSortKey : kUnplacedSortKey + 1;
}

std::string BestPlaceText(int position) {
    if (position <= 0)
        return {};
    return history::PlaceLabel(base::ItemState::Found, (position - 1) / 10 + 1, (position - 1) % 10 + 1);
}

} // namespace rankmoth::app
