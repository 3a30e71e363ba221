#pragma once

#include "base/pass_outcome.h"
#include "history/history_store.h"
#include "history/report_model.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace rankmoth::app {

// What the history page shows, worked out without widgets. Every string here is UTF-8: it comes from the
// database and goes straight to Qt.

// "潮流" / "最热" / "最新", the sort itself when unknown.
std::string SortLabel(std::string_view sort);

// The move since the previous pass of the sort, in positions: "↑3" (better), "↓12", "=" (unchanged); "" when
// there is nothing to compare (an incomplete pass is never a move either way).
std::string ChangeText(const history::SortStanding& standing);

// A stored time ("2026-12-08T11:40:06Z") as the page shows it, in local time: "12-08 19:40"; the text
// itself when it does not parse.
std::string ShortLocalTime(const std::string& stored);

// The sort key of a place in the item table: the position itself, and past every place a miss, then an
// unknown, then a sort never checked.
inline constexpr int kUnplacedSortKey = 1000000;
int PlaceSortKey(const history::SortStanding& standing);
// The best position ever reached as a place ("第1页·中"), "" when never found.
std::string BestPlaceText(int position);

} // namespace rankmoth::app
