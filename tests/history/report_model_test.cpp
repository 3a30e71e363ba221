// The figures the history page and the report share: movers and visibility.
#include "history/report_model.h"

#include "history/place_label.h"

#include <gtest/gtest.h>

namespace rankmoth::history {
namespace {

using base::ItemState;

TimelinePoint At(const std::string& started, ItemState state, int page = 0, int slice = 0) {
    TimelinePoint point;
    point.started = started;
    point.state = state;
    point.page = page;
    point.slice = slice;
    return point;
}

TEST(ReportModel, MoversRankGainsAndLossesAndPassOverIncompleteResults) {
    std::vector<ItemSummary> items(4);
    std::vector<ItemTimeline> timelines(4);
    const auto pop = static_cast<std::size_t>(base::Sort::Pop);
    items[0].itemId = "up";
    timelines[0].sorts[pop] = {At("2026-12-01", ItemState::Found, 3, 1), At("2026-12-08", ItemState::Found, 1, 1)};
    items[1].itemId = "entered";
    timelines[1].sorts[pop] = {At("2026-12-01", ItemState::NotFound), At("2026-12-08", ItemState::Found, 9, 9)};
    items[2].itemId = "down";
    timelines[2].sorts[pop] = {At("2026-12-01", ItemState::Found, 1, 1), At("2026-12-07", ItemState::Found, 1, 2),
                               At("2026-12-08", ItemState::Incomplete)};
    items[3].itemId = "same";
    timelines[3].sorts[pop] = {At("2026-12-01", ItemState::Found, 1, 1), At("2026-12-08", ItemState::Found, 1, 1)};

    const Movers last = MoversOf(items, timelines, "", 5);
    ASSERT_EQ(last.gains.size(), 2u);
    EXPECT_EQ(last.gains[0].itemId, "entered");
    EXPECT_EQ(last.gains[0].change, 1001 - 89);
    EXPECT_EQ(last.gains[1].itemId, "up");
    EXPECT_EQ(last.gains[1].change, 20);
    ASSERT_EQ(last.losses.size(), 1u);
    EXPECT_EQ(last.losses[0].itemId, "down");
    EXPECT_EQ(last.losses[0].from, 1);
    EXPECT_EQ(last.losses[0].to, 2);

    // Against the last result before a date, or the first when the history is younger than that.
    const Movers week = MoversOf(items, timelines, "2026-12-02", 1);
    ASSERT_EQ(week.gains.size(), 1u);
    EXPECT_EQ(week.gains[0].itemId, "entered");
    ASSERT_EQ(week.losses.size(), 1u);
    EXPECT_EQ(week.losses[0].itemId, "down");
    const Movers young = MoversOf(items, timelines, "2026-11-01", 5);
    ASSERT_EQ(young.gains.size(), 2u);
    EXPECT_EQ(young.gains[1].change, 20) << "from the first result, page 3";
}

TEST(ReportModel, VisibilityWeighsZonesAndPagesAndSharesAddUpToOne) {
    std::vector<base::ItemResult> results(4);
    results[0] = {Text("a"), Text("t"), ItemState::Found, 1, 2};  // upper, page 1: 1.0
    results[1] = {Text("b"), Text("t"), ItemState::Found, 2, 5};  // middle, page 2: 0.3
    results[2] = {Text("c"), Text("t"), ItemState::Found, 3, 10}; // lower, page 3: 0.1
    results[3] = {Text("d"), Text("t"), ItemState::NotFound};
    EXPECT_DOUBLE_EQ(VisibilityOf(results), 1.4);
    const std::vector<double> shares = SharesOf({1.4, 0.0, 0.6});
    EXPECT_DOUBLE_EQ(shares[0], 0.7);
    EXPECT_DOUBLE_EQ(shares[1], 0.0);
    EXPECT_DOUBLE_EQ(shares[2], 0.3);
    EXPECT_EQ(SharesOf({0.0, 0.0}), (std::vector<double>{0.0, 0.0}));
}

// The timeline, chart and cross-sort figures the history page draws.
using namespace std::chrono_literals;
const base::Clock::time_point t0 = base::Clock::time_point{} + 24h * 20000;

TimelinePoint Point(ItemState state, int page, int slice, base::Clock::duration after) {
    TimelinePoint p;
    p.state = state;
    p.page = page;
    p.slice = slice;
    p.started = history::IsoTime(t0 + after);
    return p;
}

TEST(ReportModel, BreaksOnlyWherePauseExceedsTwiceTheMedian) {
    struct Case {
        std::vector<int> minutes;
        std::vector<bool> breaks;
    } cases[] = {
        {{0, 10, 20, 30}, {false, false, false, false}},
        {{0, 10, 20, 41, 51}, {false, false, false, true, false}},
        {{0, 10, 20, 40}, {false, false, false, false}}, // exactly twice is still the usual rhythm
        {{0, 10, 500}, {false, false, true}},
        {{0, 600}, {false, false}}, // one pause has no usual to compare with
        {{}, {}},
    };
    for (const Case& c : cases) {
        std::vector<base::Clock::time_point> times;
        for (int m : c.minutes)
            times.push_back(t0 + std::chrono::minutes(m));
        EXPECT_EQ(BreaksBefore(times), c.breaks) << c.minutes.size() << " times";
    }
}

TEST(ReportModel, TimelineKeepsEverySortRowAndMarksIncompleteHatched) {
    ItemTimeline timeline;
    timeline.sorts[0] = {Point(ItemState::Found, 1, 2, 0min), Point(ItemState::Incomplete, 0, 0, 10min),
                         Point(ItemState::Found, 2, 9, 20min), Point(ItemState::NotFound, 0, 0, 300min)};
    timeline.sorts[2] = {Point(ItemState::Found, 3, 8, 5min)};
    const auto rows = BuildTimeline(timeline);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].sort, "pop");
    ASSERT_EQ(rows[0].cells.size(), 4u);
    EXPECT_EQ(rows[0].cells[0].page, 1);
    EXPECT_EQ(rows[0].cells[0].zone, base::Zone::Upper);
    EXPECT_TRUE(rows[0].cells[1].hatched());
    EXPECT_EQ(rows[0].cells[1].page, 0);
    EXPECT_EQ(rows[0].cells[2].zone, base::Zone::Lower);
    EXPECT_FALSE(rows[0].cells[2].breakBefore);
    EXPECT_TRUE(rows[0].cells[3].breakBefore);
    EXPECT_FALSE(rows[0].cells[3].hatched());
    EXPECT_TRUE(rows[1].cells.empty());
    EXPECT_EQ(rows[2].cells.at(0).page, 3);
}

TEST(ReportModel, ChartNeverJoinsAcrossMissesOrIncompletePasses) {
    const auto plan = PlanPositionChart({Point(ItemState::Found, 1, 4, 0h), Point(ItemState::Found, 2, 1, 1h),
                                         Point(ItemState::Incomplete, 0, 0, 2h), Point(ItemState::Found, 5, 3, 3h),
                                         Point(ItemState::NotFound, 0, 0, 4h), Point(ItemState::Found, 1, 1, 5h)});
    ASSERT_EQ(plan.runs.size(), 3u);
    ASSERT_EQ(plan.runs[0].size(), 2u);
    EXPECT_EQ(plan.runs[0][1].position, 11);
    EXPECT_EQ(plan.runs[0][1].at, t0 + 1h);
    EXPECT_EQ(plan.runs[1].at(0).position, 43);
    EXPECT_EQ(plan.incomplete.size(), 1u);
    EXPECT_EQ(plan.notFound.size(), 1u);
    EXPECT_EQ(plan.worst, 43);

    // A night without passes splits a run as the timeline's break does.
    const auto night = PlanPositionChart({Point(ItemState::Found, 1, 1, 0h), Point(ItemState::Found, 1, 2, 1h),
                                          Point(ItemState::Found, 1, 3, 2h), Point(ItemState::Found, 1, 4, 12h)});
    ASSERT_EQ(night.runs.size(), 2u);
    EXPECT_EQ(night.runs[1].size(), 1u);
}

TEST(ReportModel, PositionAxisLeavesRoomAtBothEndsAndTicksOnWholePositions) {
    const struct {
        int lowest;
        int step;
    } cases[] = {{2, 2}, {10, 2}, {14, 2}, {15, 5}, {40, 10}, {61, 10}, {72, 20}, {130, 20}, {1000, 200}};
    for (const auto& c : cases) {
        const PositionAxis axis = PlanPositionAxis(c.lowest);
        const int last = std::max(c.lowest, 10);
        EXPECT_EQ(axis.step, c.step) << c.lowest;
        // Position 1 and the lowest position lie inside the frame, by at least half a position.
        EXPECT_LE(axis.top, 0.5) << c.lowest;
        EXPECT_GE(axis.bottom, last + 0.5) << c.lowest;
        // ...but not so far that the chart is mostly margin.
        EXPECT_LE((last - 1) / (axis.bottom - axis.top), 1.0) << c.lowest;
        EXPECT_GE((last - 1) / (axis.bottom - axis.top), 0.85) << c.lowest;
        EXPECT_LE((last - 1) / axis.step, 6) << c.lowest;
    }
}

TEST(ReportModel, SortsDisagreeByPagesOrWhenOneSeesTheItemAndAnotherDoesNot) {
    struct Place {
        bool checked;
        ItemState state;
        int page;
    };
    const Place none{false, ItemState::Incomplete, 0};
    const auto found = [](int page) { return Place{true, ItemState::Found, page}; };
    const Place miss{true, ItemState::NotFound, 0};
    const Place unknown{true, ItemState::Incomplete, 0};
    const struct {
        std::array<Place, 3> places;
        const char* cell;
    } cases[] = {
        {{found(1), found(6), none}, "⚠ 相差5页"},
        {{found(1), found(5), found(3)}, ""},
        // One-page passes: the only disagreement they can show.
        {{found(1), none, miss}, "⚠ 最新未找到"},
        {{miss, found(1), miss}, "⚠ 潮流、最新未找到"},
        {{found(1), found(9), miss}, "⚠ 相差8页"},
        // An unknown is no place, and two misses agree.
        {{found(1), unknown, none}, ""},
        {{miss, unknown, miss}, ""},
        {{none, none, none}, ""},
    };
    for (const auto& c : cases) {
        std::array<SortStanding, kSortCount> sorts;
        for (std::size_t s = 0; s < sorts.size(); ++s) {
            sorts[s].checked = c.places[s].checked;
            sorts[s].state = c.places[s].state;
            sorts[s].page = c.places[s].page;
            sorts[s].slice = c.places[s].page ? 2 : 0;
        }
        const Disagreement d = DisagreementOf(sorts);
        EXPECT_EQ(d.cell, c.cell);
        if (!d.cell.empty()) {
            EXPECT_NE(d.tip.find("潮流 "), std::string::npos) << d.tip;
        }
    }
    std::array<SortStanding, kSortCount> sorts;
    sorts[0].checked = sorts[2].checked = true;
    sorts[0].state = ItemState::Found;
    sorts[0].page = 1;
    sorts[0].slice = 2;
    sorts[2].state = ItemState::NotFound;
    EXPECT_EQ(DisagreementOf(sorts).tip, "潮流 第1页·上，最新 未找到");
}

TEST(ReportModel, ALongStripKeepsEachColumnsLatestCellAndEveryBreak) {
    TimelineRow row{"pop", {}};
    for (int k = 0; k < 7; ++k)
        row.cells.push_back({ItemState::Found, k + 1, base::Zone::Upper, "", k == 4});
    struct Case {
        std::size_t columns, perColumn;
        std::vector<int> pages;
        std::vector<bool> breaks;
    };
    const Case cases[] = {
        {7, 1, {1, 2, 3, 4, 5, 6, 7}, {false, false, false, false, true, false, false}},
        {9, 1, {1, 2, 3, 4, 5, 6, 7}, {false, false, false, false, true, false, false}},
        {3, 3, {3, 6, 7}, {false, true, false}}, // the break inside the second column is kept
        {2, 4, {4, 7}, {false, true}},
        {0, 7, {7}, {true}},
    };
    for (const Case& c : cases) {
        const StripColumns strip = ColumnsOf(row, c.columns);
        EXPECT_EQ(strip.perColumn, c.perColumn) << c.columns;
        std::vector<int> pages;
        std::vector<bool> breaks;
        for (const TimelineCell& cell : strip.cells)
            pages.push_back(cell.page), breaks.push_back(cell.breakBefore);
        EXPECT_EQ(pages, c.pages) << c.columns;
        EXPECT_EQ(breaks, c.breaks) << c.columns;
    }
    EXPECT_TRUE(ColumnsOf(TimelineRow{"new", {}}, 60).cells.empty());
}

} // namespace
} // namespace rankmoth::history
