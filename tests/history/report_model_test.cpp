// The figures the history page and the report share: strip gaps, the zoomed axis, movers, visibility.
#include "history/report_model.h"

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

TEST(ReportModel, StripsBreakOnlyWherePausesRunPastTwiceTheUsual) {
    const std::vector<TimelinePoint> points = {
        At("2026-12-01T10:00:00Z", ItemState::Found, 1, 2),
        At("2026-12-01T11:00:00Z", ItemState::NotFound),
        At("2026-12-01T12:00:00Z", ItemState::Incomplete),
        At("2026-12-01T14:00:00Z", ItemState::Found, 3, 9), // twice the usual hour: no break
        At("2026-12-02T09:00:00Z", ItemState::Found, 2, 5), // overnight: a break
        At("2026-12-02T10:00:00Z", ItemState::Found, 2, 5),
    };
    const std::vector<StripCell> cells = StripCells(points);
    ASSERT_EQ(cells.size(), points.size());
    std::vector<bool> gaps;
    for (const StripCell& cell : cells)
        gaps.push_back(cell.gapBefore);
    EXPECT_EQ(gaps, (std::vector<bool>{false, false, false, false, true, false}));
    EXPECT_EQ(cells[0].zone, base::Zone::Upper);
    EXPECT_EQ(cells[3].page, 3);
    EXPECT_EQ(cells[3].zone, base::Zone::Lower);
    EXPECT_EQ(cells[2].state, ItemState::Incomplete);
    EXPECT_EQ(cells[2].zone, base::Zone::None);
    EXPECT_TRUE(StripCells({}).empty());
}

TEST(ReportModel, TheAxisZoomsToThePositionsTaken) {
    const struct {
        std::vector<TimelinePoint> points;
        int top, bottom;
    } cases[] = {
        {{}, 1, 10},
        {{At("a", ItemState::NotFound)}, 1, 10},
        {{At("a", ItemState::Found, 5, 4)}, 43, 52},                                   // one position: a page
        {{At("a", ItemState::Found, 2, 1), At("b", ItemState::Found, 30, 1)}, 1, 319}, // 11..291, room 28
        {{At("a", ItemState::Found, 1, 1), At("b", ItemState::Found, 1, 3)}, 1, 10},
    };
    for (const auto& c : cases) {
        const PositionAxis axis = AxisOf(c.points);
        EXPECT_EQ(axis.top, c.top);
        EXPECT_EQ(axis.bottom, c.bottom);
    }
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

    // Against the last result before a date; an item without one is not a mover.
    const Movers week = MoversOf(items, timelines, "2026-12-02", 1);
    ASSERT_EQ(week.gains.size(), 1u);
    EXPECT_EQ(week.gains[0].itemId, "entered");
    EXPECT_EQ(MoversOf(items, timelines, "2026-11-01", 5).gains.size(), 0u);
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

} // namespace
} // namespace rankmoth::history
