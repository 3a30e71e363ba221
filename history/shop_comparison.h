#pragma once

#include "base/result.h"
#include "history/history_store.h"

#include <string>
#include <vector>

namespace rankmoth::history {

// The passes a report covers: stored start times from `since` (an IsoTime prefix, such as "2026-12-01") to
// `until` (the same, inclusive: "2026-12-08" keeps the whole day). Empty ends are open.
struct Period {
    std::string since;
    std::string until;
    bool Holds(const std::string& started) const;
};
// The period from a command line's --since and --until: each a date (YYYY-MM-DD) or a full IsoTime, UTC as
// the history keeps its times; otherwise why not.
base::Result<Period> CheckPeriod(const std::string& since, const std::string& until);

// How visible a watch's shops were in one listing over time. A watch walks each listing once for all its
// shops, so the passes cut from one walk (one walk ID) are a fair comparison: the same pages, read at the
// same moment.
struct VisibilityPoint {
    std::string walkId;
    std::string started;        // the earliest pass of the walk
    std::vector<double> scores; // per shop, in ListingVisibility::shops order; 0 for a shop the walk lacks
};
struct ListingVisibility {
    std::string category;
    std::string subCategory;
    std::string sort;
    std::vector<std::string> shops; // the compared shop first, then the others by name
    std::vector<VisibilityPoint> points; // in time order
};

// Every listing in which `shop` was walked with other shops during `period`, with each shop's visibility per
// walk, a category's sorts in the window's order of sorts. Empty when the shop was never part of a watch.
base::Result<std::vector<ListingVisibility>> CompareShops(Store& store, const std::string& shop,
                                                          const Period& period);

} // namespace rankmoth::history
