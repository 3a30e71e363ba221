// The figures the history page and the report share: movers and visibility.
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
