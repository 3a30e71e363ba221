#include "tests/rank/rank_harness.h"

#include <gtest/gtest.h>

namespace rankmoth::rank::testing {
namespace {

using namespace std::chrono_literals;

TEST(MonitorTest, CountdownShowsNineToZeroAndRunsOnTheTickThatShowsZero) {
    RankHarness h;
    h.AddItem("1", Text("t1"));
    h.SetPageLimit("1");
    h.state.interval = 10;
    for (int tick = 1; tick <= 10; ++tick) {
        h.monitor.MonitorTick();
        if (tick < 10) {
            EXPECT_EQ(h.Status(), CountdownText(10 - tick));
            EXPECT_TRUE(h.market.gets.empty());
        }
    }
    EXPECT_EQ(h.market.gets.size(), 1u);
    EXPECT_EQ(h.monitor.minutesCounted(), 0);
    EXPECT_EQ(CountdownText(0), " 本次已查询完成！  正在监测 -> 距下次查询还有: 0 Min"_gbk);
    h.monitor.MonitorTick();
    EXPECT_EQ(h.Status(), CountdownText(9));
}

// An automatic run ends as a started one does: its state in part 0, the countdown in part 1.
TEST(MonitorTest, AutomaticRunEndsWithItsStateInPartZero) {
    RankHarness h;
    h.AddItem("1", Text("t1"));
    h.SetPageLimit("1");
    h.market.sliceOverride[{1, 2}] = "";
    h.state.interval = 10;
    for (int tick = 1; tick <= 10; ++tick)
        h.monitor.MonitorTick();
    ASSERT_EQ(h.market.gets.size(), 1u);
    EXPECT_EQ(h.controls.StatusText(kMain, "状态条1", 0), " 查询未完成 0/1"_gbk);
    EXPECT_EQ(h.controls.Control(kMain, "状态条1#0").toolTip, "1 个请求失败（应答无效），0/1 个宝贝已找到，其余未查完"_gbk);
    h.monitor.MonitorTick();
    EXPECT_EQ(h.controls.StatusText(kMain, "状态条1", 0), " 查询未完成 0/1"_gbk);
    EXPECT_EQ(h.Status(), CountdownText(9));
}

TEST(MonitorTest, IntervalLoweredBelowTheCountShowsANegativeCountAndRuns) {
    RankHarness h;
    h.AddItem("1", Text("t1"));
    h.SetPageLimit("1");
    h.state.interval = 30;
    for (int tick = 0; tick < 12; ++tick)
        h.monitor.MonitorTick();
    h.state.interval = 10;
    h.monitor.MonitorTick();
    std::vector<Text> statuses;
    for (const auto& [control, text] : h.controls.TextHistory()) {
        if (control == "状态条1#1")
            statuses.push_back(text);
    }
    ASSERT_GT(statuses.size(), 12u);
    EXPECT_EQ(statuses[11], CountdownText(18));
    EXPECT_EQ(statuses[12], CountdownText(-3));
    EXPECT_EQ(h.market.gets.size(), 1u);
}

TEST(MonitorTest, TickReachingTheIntervalDuringARunIsRefusedWithTheRunningHint) {
    RankHarness h;
    for (int k = 1; k <= 10; ++k)
        h.AddItem(std::to_string(k), Text(std::string("t") + std::to_string(k)));
    h.SetPageLimit("1");
    h.state.interval = 10;
    h.controls.SetText(kMain, "编辑框_检索间隔", Text("1"));
    // The run that tick 10 starts lasts 10 s; a tick inside it reaches the (now copied) interval of 1.
    h.pump.PostAt(5s, [&] { h.monitor.MonitorTick(); });
    for (int tick = 1; tick <= 10; ++tick)
        h.monitor.MonitorTick();
    EXPECT_EQ(h.market.gets.size(), 1u);
    EXPECT_EQ(h.Hint(), "提示：当前正在进行查询哦~"_gbk);
}

TEST(MonitorTest, HintsStandAsTipsAtTheirControlUntilTheUsualHintReturns) {
    RankHarness h;
    h.AddItem("1", Text("t1"));
    const auto tip = [&h](std::string_view control) { return h.controls.Control(kMain, control).toolTip; };
    const Text running = "提示：当前正在进行查询哦~"_gbk;
    const Text interval = "注意：自动查询间隔不能＜10分钟、不能＞600分钟！"_gbk;

    h.state.running = true;
    h.query.RunRankQuery();
    EXPECT_EQ(tip("按钮_查询大类排名"), running);
    h.pump.Advance(5s);
    h.controls.SetText(kMain, "编辑框_检索间隔", Text("9"));
    h.monitor.IntervalChanged();
    // The newer hint takes the place of the older one, in the label and as a tip.
    EXPECT_EQ(h.Hint(), interval);
    EXPECT_EQ(tip("编辑框_检索间隔"), interval);
    EXPECT_EQ(tip("按钮_查询大类排名"), Text());
    // The first restore, ten seconds after the running hint, ends the hint in the label and at its control.
    h.pump.Advance(5s);
    h.pump.DispatchPending();
    EXPECT_EQ(h.Hint(), "关键词可以为: 主人ID、宝贝ID"_gbk);
    EXPECT_EQ(tip("编辑框_检索间隔"), Text());
}

TEST(MonitorTest, IntervalBoxAcceptsTenToSixHundred) {
    const struct {
        const char* typed;
        int interval;
        bool refused;
    } steps[] = {
        {"10", 10, false},   {"600", 600, false}, {"9", 600, true},  {"601", 600, true},
        {"", 600, true},     {"abc", 600, true},  {"3", 600, true},  {"30", 30, false},
        {" 45 ", 45, false}, {"４５", 45, false}, {"-10", 45, true},
    };
    RankHarness h;
    for (const auto& s : steps) {
        h.controls.SetText(kMain, "编辑框_检索间隔", Text::FromUtf8(s.typed));
        h.controls.SetText(kMain, "标签_提示", Text("usual"));
        h.monitor.IntervalChanged();
        EXPECT_EQ(h.state.interval, s.interval) << s.typed;
        if (s.refused) {
            EXPECT_EQ(h.controls.GetText(kMain, "编辑框_检索间隔"), Text("10")) << s.typed;
            EXPECT_EQ(h.Hint(), "注意：自动查询间隔不能＜10分钟、不能＞600分钟！"_gbk) << s.typed;
        } else {
            EXPECT_EQ(h.Hint(), Text("usual")) << s.typed;
        }
    }
    h.pump.Advance(10s);
    h.pump.DispatchPending();
    EXPECT_EQ(h.Hint(), "关键词可以为: 主人ID、宝贝ID"_gbk);
    EXPECT_TRUE(h.controls.MessageBoxes().empty());
}

TEST(MonitorTest, AutomaticModeTicksEveryMinuteFromZeroAndManualStopsIt) {
    RankHarness h;
    h.AddItem("1", Text("t1"));
    h.SetPageLimit("1");
    h.state.interval = 10;
    h.monitor.MonitorTick();
    h.monitor.MonitorTick();
    h.state.interval = 0; // as at program start, before the box was edited or a query ran
    h.controls.SetText(kMain, "编辑框_检索间隔", Text("15"));
    h.controls.SetChecked(kMain, "单选框_自动监测", true);
    h.monitor.ModeChanged();
    EXPECT_EQ(h.controls.TimerInterval(kMain, "时钟_监测间隔"), 60000);
    EXPECT_EQ(h.monitor.minutesCounted(), 0);
    EXPECT_EQ(h.state.interval, 15);

    h.monitor.MonitorTick();
    h.query.RunRankQuery(); // a manual query keeps the count
    EXPECT_EQ(h.monitor.minutesCounted(), 1);
    h.controls.SetText(kMain, "编辑框_检索间隔", Text("20"));
    h.monitor.ModeChanged(); // the selected radio button clicked again
    EXPECT_EQ(h.monitor.minutesCounted(), 1);
    EXPECT_EQ(h.state.interval, 15);

    h.controls.SetChecked(kMain, "单选框_手动查询", true);
    h.monitor.ModeChanged();
    EXPECT_EQ(h.controls.TimerInterval(kMain, "时钟_监测间隔"), 0);
}

} // namespace
} // namespace rankmoth::rank::testing
