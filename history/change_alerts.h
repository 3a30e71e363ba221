#pragma once

#include "base/pass_outcome.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rankmoth::history {

// An item's place in the pass a new one is compared with.
struct BaselineItem {
    std::string itemId; // UTF-8
    base::ItemState state = base::ItemState::Incomplete;
    int page = 0;
    int slice = 0;
};

// The latest clean pass of the same shop, category, sub-category and sort (HistoryStore::BaselineFor).
struct Baseline {
    std::int64_t passId = 0;
    int pageLimit = 0;
    std::vector<BaselineItem> items;
};

enum class AlertKind {
    EnteredPage1,
    LeftPage1,
    ZoneChanged, // on page 1 before and after, in another zone
    Moved,       // by at least the given number of pages
};

struct ChangeAlert {
    std::string itemId; // UTF-8
    std::string title;  // UTF-8
    AlertKind kind = AlertKind::Moved;
    base::ItemState fromState = base::ItemState::NotFound;
    int fromPage = 0;
    int fromSlice = 0;
    base::ItemState toState = base::ItemState::NotFound;
    int toPage = 0;
    int toSlice = 0;
};

inline constexpr int kDefaultAlertPages = 3;

// The items of `pass` whose place changed enough to tell the seller, in the pass's item order, one alert per
// item. An unclean pass, or no baseline, gives none: a failed night must never read as a drop.
std::vector<ChangeAlert> ChangeAlerts(const base::PassOutcome& pass, const Baseline* baseline,
                                      int minPages = kDefaultAlertPages);

// The tray balloon's body (UTF-8): one line per alert for the first five, then "…等 N 个宝贝" with N the
// number of alerted items. Empty for no alerts.
std::string BalloonText(const std::vector<ChangeAlert>& alerts);

} // namespace rankmoth::history
