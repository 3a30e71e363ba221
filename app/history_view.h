#pragma once

#include "base/pass_outcome.h"
#include "history/history_store.h"

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

// For each of `times` (in order): whether the pause before it is longer than twice the median pause, so a
// timeline can draw a break there. Fewer than three times give no median worth trusting, hence no break.
std::vector<bool> BreaksBefore(const std::vector<base::Clock::time_point>& times);

// One cell of the zone timeline, as the painter draws it.
struct TimelineCell {
    base::ItemState state = base::ItemState::Incomplete;
    int page = 0; // 0 unless found
    base::Zone zone = base::Zone::None;
    std::string started; // the pass's start, as stored
    bool breakBefore = false;
    bool hatched() const { return state == base::ItemState::Incomplete; }
};

struct TimelineRow {
    std::string sort;
    std::vector<TimelineCell> cells; // in time order
};

// One row per sort of base::kSortTable, kept when empty so rows never trade places; each row has its own breaks.
std::vector<TimelineRow> BuildTimeline(const history::ItemTimeline& timeline);

// The position chart of one sort: found results joined in runs, broken by every result that is not a
// placing and by every break in time (as the timeline draws them); misses and incomplete passes as lone points
// (position 0: the chart puts them on a band below the worst position of every sort it shows).
struct ChartPoint {
    base::Clock::time_point at{};
    int position = 0;
};
struct ChartPlan {
    std::vector<std::vector<ChartPoint>> runs;
    std::vector<ChartPoint> notFound;
    std::vector<ChartPoint> incomplete;
    int worst = 0; // the worst position reached, 0 when never found
};
ChartPlan PlanPositionChart(const std::vector<history::TimelinePoint>& points);

// The chart's position axis for positions 1..`lowest` (the band of misses included): ticks on whole
// positions from 1, and a margin beyond both ends so that neither position 1 nor the band lies on the frame.
struct PositionAxis {
    double top = 0;    // the value at the top edge, before position 1
    double bottom = 0; // the value at the bottom edge, after `lowest`
    int step = 1;      // between ticks, a whole number of positions; 10 puts a tick on every page's first place
};
PositionAxis PlanPositionAxis(int lowest);

// The 分歧 column of the sorts side by side: how the latest standings of one item disagree, "" when they
// do not. Sorts disagree when their places lie history::kDisagreePages pages or more apart, or when one sort
// placed the item and another read its whole listing without it (an unknown disagrees with nothing).
struct Disagreement {
    std::string cell; // "⚠ 相差6页", "⚠ 最新未找到"
    std::string tip;  // every sort's place: "潮流 第1页·上，最热 第7页·中，最新 未找到"
};
Disagreement DisagreementOf(const std::array<history::SortStanding, history::kSortCount>& sorts);

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
