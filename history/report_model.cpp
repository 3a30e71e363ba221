#include "history/report_model.h"

#include "history/place_label.h"

#include <algorithm>

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

Movers MoversOf(const std::vector<ItemSummary>& items, const std::vector<ItemTimeline>& timelines,
                const std::string& since, std::size_t count) {
    Movers movers;
    for (std::size_t k = 0; k < items.size() && k < timelines.size(); ++k) {
        for (const base::SortEntry& entry : base::kSortTable) {
            const std::vector<const TimelinePoint*> settled =
                Settled(timelines[k].sorts[static_cast<std::size_t>(entry.sort)]);
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
            }
            if (!reference || reference == &latest)
                continue;
            const int from = reference->state == base::ItemState::Found
                                 ? PositionOf(reference->state, reference->page, reference->slice)
                                 : 0;
            const int to =
                latest.state == base::ItemState::Found ? PositionOf(latest.state, latest.page, latest.slice) : 0;
            const int change = MovePosition(from) - MovePosition(to);
            if (change == 0)
                continue;
            Mover mover{items[k].itemId, items[k].title, entry.sort, from, to, change};
            (change > 0 ? movers.gains : movers.losses).push_back(std::move(mover));
        }
    }
    const auto larger = [](const Mover& a, const Mover& b) {
        return std::abs(a.change) != std::abs(b.change) ? std::abs(a.change) > std::abs(b.change) : a.itemId < b.itemId;
    };
    for (auto* list : {&movers.gains, &movers.losses}) {
        std::stable_sort(list->begin(), list->end(), larger);
        if (list->size() > count)
            list->resize(count);
    }
    return movers;
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
