#include "history/report_model.h"

#include "history/place_label.h"

#include <algorithm>
#include <cstdlib>

namespace rankmoth::history {

namespace {

// 100 pages of 10 slices.
constexpr int kBeyondListing = 1001;

int MovePosition(int position) {
    return position > 0 ? position : kBeyondListing;
}

std::vector<const TimelinePoint*> Settled(const std::vector<TimelinePoint>& points) {
    std::vector<const TimelinePoint*> settled;
    for (const TimelinePoint& point : points)
        if (point.state != base::ItemState::Incomplete)
            settled.push_back(&point);
    return settled;
}

} // namespace

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

std::vector<TimelineRow> BuildTimeline(const ItemTimeline& timeline) {
    std::vector<TimelineRow> rows;
    for (int s = 0; s < kSortCount; ++s) {
        TimelineRow row{std::string(base::kSortTable[s].key), {}};
        std::vector<base::Clock::time_point> times;
        for (const TimelinePoint& p : timeline.sorts[static_cast<std::size_t>(s)]) {
            const bool found = p.state == base::ItemState::Found;
            row.cells.push_back(
                {p.state, found ? p.page : 0, found ? base::ZoneOfSlice(p.slice) : base::Zone::None, p.started});
            base::Clock::time_point at{};
            ParseIsoTime(p.started, at);
            times.push_back(at);
        }
        const std::vector<bool> breaks = BreaksBefore(times);
        for (std::size_t i = 0; i < row.cells.size(); ++i)
            row.cells[i].breakBefore = breaks[i];
        rows.push_back(std::move(row));
    }
    return rows;
}

StripColumns ColumnsOf(const TimelineRow& row, std::size_t columns) {
    columns = std::max<std::size_t>(columns, 1);
    StripColumns strip;
    const std::size_t n = row.cells.size();
    strip.perColumn = n <= columns ? 1 : (n + columns - 1) / columns;
    for (std::size_t from = 0; from < n; from += strip.perColumn) {
        const std::size_t to = std::min(n, from + strip.perColumn);
        TimelineCell cell = row.cells[to - 1];
        cell.breakBefore = false;
        for (std::size_t k = from; k < to; ++k)
            cell.breakBefore = cell.breakBefore || row.cells[k].breakBefore;
        strip.cells.push_back(std::move(cell));
    }
    return strip;
}

ChartPlan PlanPositionChart(const std::vector<TimelinePoint>& points) {
    ChartPlan plan;
    std::vector<base::Clock::time_point> times;
    for (const TimelinePoint& p : points) {
        times.emplace_back();
        ParseIsoTime(p.started, times.back());
    }
    const std::vector<bool> breaks = BreaksBefore(times);
    bool inRun = false;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const TimelinePoint& p = points[i];
        const base::Clock::time_point at = times[i];
        const int position = PositionOf(p.state, p.page, p.slice);
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

int MissBand(int worst) {
    return worst + std::max(2, worst / 8);
}

std::uint32_t ZoneColour(base::Zone zone, base::ItemState state) {
    if (state != base::ItemState::Found)
        return 0xbdbdbd;
    switch (zone) {
    case base::Zone::Upper:
        return 0x2e9d4f;
    case base::Zone::Middle:
        return 0xe8b00c;
    case base::Zone::Lower:
        return 0xe06a2b;
    case base::Zone::None:
        break;
    }
    return 0xbdbdbd;
}

Disagreement DisagreementOf(const std::array<SortStanding, kSortCount>& sorts) {
    int low = 0, high = 0;
    std::string missing;
    std::string tip;
    for (int s = 0; s < kSortCount; ++s) {
        const SortStanding& standing = sorts[static_cast<std::size_t>(s)];
        if (!standing.checked)
            continue;
        const std::string label(base::kSortTable[s].label);
        tip += (tip.empty() ? "" : "，") + label + " " + PlaceLabel(standing.state, standing.page, standing.slice);
        if (standing.state == base::ItemState::Found) {
            low = low == 0 ? standing.page : std::min(low, standing.page);
            high = std::max(high, standing.page);
        } else if (standing.state == base::ItemState::NotFound) {
            missing += (missing.empty() ? "" : "、") + label;
        }
    }
    if (low > 0 && high - low >= kDisagreePages)
        return {"⚠ 相差" + std::to_string(high - low) + "页", tip};
    // The page limits of the passes may differ, so a miss is no distance; that one sort sees the item and
    // another does not is the plainest disagreement there is.
    if (low > 0 && !missing.empty())
        return {"⚠ " + missing + "未找到", tip};
    return {};
}

std::vector<Mover> MovesOf(const std::string& itemId, const std::string& title, const ItemTimeline& timeline,
                           const std::string& since) {
    std::vector<Mover> moves;
    for (const base::SortEntry& entry : base::kSortTable) {
        const std::vector<const TimelinePoint*> settled = Settled(timeline.sorts[static_cast<std::size_t>(entry.sort)]);
        if (settled.size() < 2)
            continue;
        const TimelinePoint& latest = *settled.back();
        const TimelinePoint* reference = nullptr;
        if (since.empty()) {
            reference = settled[settled.size() - 2];
        } else {
            for (const TimelinePoint* point : settled)
                if (point->started < since)
                    reference = point;
            // A history younger than the span: its first result stands for where the span began.
            if (!reference)
                reference = settled.front();
        }
        if (!reference || reference == &latest)
            continue;
        const int from = reference->state == base::ItemState::Found
                             ? PositionOf(reference->state, reference->page, reference->slice)
                             : 0;
        const int to = latest.state == base::ItemState::Found ? PositionOf(latest.state, latest.page, latest.slice) : 0;
        const int change = MovePosition(from) - MovePosition(to);
        if (change != 0)
            moves.push_back(Mover{itemId, title, entry.sort, from, to, change});
    }
    return moves;
}

void MoverBoard::Offer(Mover mover) {
    const auto larger = [](const Mover& a, const Mover& b) {
        return std::abs(a.change) != std::abs(b.change) ? std::abs(a.change) > std::abs(b.change) : a.itemId < b.itemId;
    };
    std::vector<Mover>& list = mover.change > 0 ? movers_.gains : movers_.losses;
    // Sorted insertion into a short list: the board never holds more than `count_`, whatever it is offered.
    const auto at = std::upper_bound(list.begin(), list.end(), mover, larger);
    if (static_cast<std::size_t>(at - list.begin()) >= count_)
        return;
    list.insert(at, std::move(mover));
    if (list.size() > count_)
        list.pop_back();
}

Movers MoversOf(const std::vector<ItemSummary>& items, const std::vector<ItemTimeline>& timelines,
                const std::string& since, std::size_t count) {
    MoverBoard board(count);
    for (std::size_t k = 0; k < items.size() && k < timelines.size(); ++k)
        for (Mover& move : MovesOf(items[k].itemId, items[k].title, timelines[k], since))
            board.Offer(std::move(move));
    return board.movers();
}

double VisibilityWeight(int page, base::Zone zone) {
    if (page <= 0)
        return 0;
    switch (zone) {
    case base::Zone::Upper:
        return 1.0 / page;
    case base::Zone::Middle:
        return 0.6 / page;
    case base::Zone::Lower:
        return 0.3 / page;
    case base::Zone::None:
        break;
    }
    return 0;
}

double VisibilityOf(const std::vector<base::ItemResult>& results) {
    double score = 0;
    for (const base::ItemResult& result : results)
        if (result.state == base::ItemState::Found)
            score += VisibilityWeight(result.page, result.zone());
    return score;
}

std::vector<double> SharesOf(const std::vector<double>& scores) {
    double total = 0;
    for (const double score : scores)
        total += score;
    std::vector<double> shares;
    for (const double score : scores)
        shares.push_back(total > 0 ? score / total : 0);
    return shares;
}

} // namespace rankmoth::history
