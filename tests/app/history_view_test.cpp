#include "app/history_view.h"

#include <gtest/gtest.h>

namespace rankmoth::app {
namespace {

using base::ItemState;
using namespace std::chrono_literals;

const base::Clock::time_point t0 = base::Clock::time_point{} + 24h * 20000;

history::TimelinePoint Point(ItemState state, int page, int slice, base::Clock::duration after) {
    history::TimelinePoint p;
    p.state = state;
    p.page = page;
    p.slice = slice;
    p.started = history::IsoTime(t0 + after);
    return p;
}

TEST(HistoryView, ChangeTexts) {
    struct Case {
        ItemState state;
        bool hasChange;
        int change;
        const char* text;
    } cases[] = {
        {ItemState::Found, true, 15, "↑15"}, {ItemState::Found, true, -9, "↓9"},
        {ItemState::Found, true, 0, "="},    {ItemState::Found, false, 0, ""},
        // Whatever the store left in `change`, an incomplete latest pass is never shown as a move.
        {ItemState::Incomplete, true, -40, ""},
    };
    for (const Case& c : cases) {
        history::SortStanding s;
        s.checked = true;
        s.state = c.state;
        s.page = 1;
        s.slice = 1;
        s.hasChange = c.hasChange;
        s.change = c.change;
        EXPECT_EQ(ChangeText(s), c.text) << c.change;
    }
}

TEST(HistoryView, BreaksOnlyWherePauseExceedsTwiceTheMedian) {
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

TEST(HistoryView, TimelineKeepsEverySortRowAndMarksIncompleteHatched) {
    history::ItemTimeline timeline;
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

TEST(HistoryView, ChartNeverJoinsAcrossMissesOrIncompletePasses) {
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

} // namespace
} // namespace rankmoth::app
