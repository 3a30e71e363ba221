#pragma once

#include "base/pass_outcome.h"
#include "history/history_store.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace rankmoth::history {

// What the history page and the shared report both draw, computed once from what the store read, so that
// the two can never show a seller different things.

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
std::vector<TimelineRow> BuildTimeline(const ItemTimeline& timeline);

// A row too long for a printed page in at most `columns` columns (at least 1): each column stands for the same
// number of consecutive cells and shows the latest of them, breaking before it when any of them broke.
struct StripColumns {
    std::vector<TimelineCell> cells;
    std::size_t perColumn = 1;
};
StripColumns ColumnsOf(const TimelineRow& row, std::size_t columns);

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
ChartPlan PlanPositionChart(const std::vector<TimelinePoint>& points);

// The chart's position axis for positions 1..`lowest` (the band of misses included): ticks on whole
// positions from 1, and a margin beyond both ends so that neither position 1 nor the band lies on the frame.
struct PositionAxis {
    double top = 0;    // the value at the top edge, before position 1
    double bottom = 0; // the value at the bottom edge, after `lowest`
    int step = 1;      // between ticks, a whole number of positions; 10 puts a tick on every page's first place
};
PositionAxis PlanPositionAxis(int lowest);
// Where misses and unknowns sit when the worst place charted is `worst`: a band just below it, off the line,
// never read as a position.
int MissBand(int worst);

// The zone colours every drawing of a timeline uses, as 0xRRGGBB: upper green, middle amber, lower orange, a
// miss grey; an incomplete pass is hatched in kHatchColour over the background.
std::uint32_t ZoneColour(base::Zone zone, base::ItemState state);
inline constexpr std::uint32_t kHatchColour = 0x707070;

// The 分歧 column of the sorts side by side: how the latest standings of one item disagree, "" when they
// do not. Sorts disagree when their places lie kDisagreePages pages or more apart, or when one sort
// placed the item and another read its whole listing without it (an unknown disagrees with nothing).
struct Disagreement {
    std::string cell; // "⚠ 相差6页", "⚠ 最新未找到"
    std::string tip;  // every sort's place: "潮流 第1页·上，最热 第7页·中，最新 未找到"
};
Disagreement DisagreementOf(const std::array<SortStanding, kSortCount>& sorts);

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
// before `since` (an IsoTime), its first when it has none so old. Incomplete results are passed over; at most
// `count` of each kind.
Movers MoversOf(const std::vector<ItemSummary>& items, const std::vector<ItemTimeline>& timelines,
                const std::string& since, std::size_t count);
// One item's moves, one per sort that moved, for a reader that takes items one at a time.
std::vector<Mover> MovesOf(const std::string& itemId, const std::string& title, const ItemTimeline& timeline,
                           const std::string& since);
// The largest moves of those offered, in constant memory: at most `count` of each kind.
class MoverBoard {
public:
    explicit MoverBoard(std::size_t count) : count_(count) {}
    void Offer(Mover mover);
    const Movers& movers() const { return movers_; }

private:
    std::size_t count_;
    Movers movers_;
};

// A shop's visibility in one listing pass: the sum over its found items of upper 1.0, middle 0.6,
// lower 0.3, divided by the page.
double VisibilityWeight(int page, base::Zone zone);
double VisibilityOf(const std::vector<base::ItemResult>& results);
// Each score's share of their total, 0 for all when the total is 0.
std::vector<double> SharesOf(const std::vector<double>& scores);

} // namespace rankmoth::history
