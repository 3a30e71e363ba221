#pragma once

#include "base/pass_outcome.h"
#include "history/history_store.h"

#include <string>
#include <vector>

namespace rankmoth::history {

// What the history page and the shared report both draw, computed once from what the store read, so that
// the two can never show a seller different things.

// An item's move under one sort between two of its found-or-absent results.
struct Mover {
    std::string itemId;
    std::string title;
    base::Sort sort = base::Sort::Pop;
    int from = 0; // position, 0 for not found
    int to = 0;
    // Positions gained (positive) or lost. Not found counts as one past the deepest position a walk can
    // reach, so that entering or leaving the listing outweighs any move within it.
    int change = 0;
};
struct Movers {
    std::vector<Mover> gains;  // largest first
    std::vector<Mover> losses; // largest first
};
// Each item's latest result against its previous one (`since` empty) or against its last result started
// before `since` (an IsoTime). Incomplete results are passed over; at most `count` of each kind.
Movers MoversOf(const std::vector<ItemSummary>& items, const std::vector<ItemTimeline>& timelines,
                const std::string& since, std::size_t count);

// A shop's visibility in one listing pass: the sum over its found items of upper 1.0, middle 0.6,
// lower 0.3, divided by the page.
double VisibilityWeight(int page, base::Zone zone);
double VisibilityOf(const std::vector<base::ItemResult>& results);
// Each score's share of their total, 0 for all when the total is 0.
std::vector<double> SharesOf(const std::vector<double>& scores);

} // namespace rankmoth::history
