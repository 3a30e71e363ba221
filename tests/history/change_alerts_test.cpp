#include "history/change_alerts.h"
#include "history/place_label.h"

#include "history_fixture.h"

#include <gtest/gtest.h>

namespace rankmoth::history {
namespace {

using base::ItemState;
using testing::Pass;

struct Place {
    ItemState state;
    int page;
    int slice;
};
constexpr Place kMissing{ItemState::NotFound, 0, 0};
constexpr Place kIncomplete{ItemState::Incomplete, 0, 0};

base::ItemResult ResultAt(const Place& place) {
    base::ItemResult item = place.state == ItemState::Found ? testing::Found("42", place.page, place.slice)
                                                            : testing::Missing("42", place.state);
    item.title = "连衣裙"_gbk;
    return item;
}

TEST(ChangeAlerts, RuleTable) {
    struct Case {
        const char* what;
        Place then;
        Place now;
        bool alerts;
        AlertKind kind;
    };
    const Case cases[] = {
        {"enters page 1", {ItemState::Found, 2, 1}, {ItemState::Found, 1, 9}, true, AlertKind::EnteredPage1},
        {"enters page 1 from nowhere", kMissing, {ItemState::Found, 1, 2}, true, AlertKind::EnteredPage1},
        {"leaves page 1", {ItemState::Found, 1, 10}, {ItemState::Found, 2, 1}, true, AlertKind::LeftPage1},
        {"leaves page 1 for nowhere", {ItemState::Found, 1, 1}, kMissing, true, AlertKind::LeftPage1},
        {"upper to middle on page 1", {ItemState::Found, 1, 3}, {ItemState::Found, 1, 4}, true, AlertKind::ZoneChanged},
        {"lower to upper on page 1", {ItemState::Found, 1, 7}, {ItemState::Found, 1, 1}, true, AlertKind::ZoneChanged},
        {"same zone on page 1", {ItemState::Found, 1, 4}, {ItemState::Found, 1, 6}, false, {}},
        {"zone change off page 1", {ItemState::Found, 4, 1}, {ItemState::Found, 4, 10}, false, {}},
        {"down 3 pages", {ItemState::Found, 2, 5}, {ItemState::Found, 5, 5}, true, AlertKind::Moved},
        {"up 3 pages", {ItemState::Found, 8, 5}, {ItemState::Found, 5, 5}, true, AlertKind::Moved},
        {"down 2 pages", {ItemState::Found, 2, 5}, {ItemState::Found, 4, 5}, false, {}},
        {"page 9 to beyond the limit of 10", {ItemState::Found, 9, 1}, kMissing, false, {}},
        {"page 5 to beyond the limit of 10", {ItemState::Found, 5, 1}, kMissing, true, AlertKind::Moved},
        {"still not found", kMissing, kMissing, false, {}},
        {"incomplete baseline item", kIncomplete, {ItemState::Found, 1, 1}, false, {}},
        {"incomplete now", {ItemState::Found, 1, 1}, kIncomplete, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Baseline baseline{7, 10, {{"42", c.then.state, c.then.page, c.then.slice}}};
        const auto alerts = ChangeAlerts(Pass("pop", 60, {ResultAt(c.now)}), &baseline, 3);
        ASSERT_EQ(alerts.size(), c.alerts ? 1u : 0u);
        if (c.alerts) {
            EXPECT_EQ(alerts[0].kind, c.kind);
            EXPECT_EQ(alerts[0].itemId, "42");
            EXPECT_EQ(alerts[0].title, "连衣裙");
        }
    }
}

TEST(ChangeAlerts, UncleanPassOrNoBaselineNeverAlerts) {
    Baseline baseline{7, 10, {{"42", ItemState::Found, 1, 1}}};
    base::PassOutcome failed = Pass("pop", 60, {ResultAt({ItemState::Found, 9, 1})});
    failed.failedRequests = 1;
    EXPECT_TRUE(ChangeAlerts(failed, &baseline).empty());
    base::PassOutcome stopped = Pass("pop", 60, {ResultAt({ItemState::Found, 9, 1})});
    stopped.stopped = true;
    EXPECT_TRUE(ChangeAlerts(stopped, &baseline).empty());
    EXPECT_TRUE(ChangeAlerts(Pass("pop", 60, {ResultAt({ItemState::Found, 9, 1})}), nullptr).empty());
    // The threshold is the caller's: 5 pages wanted, 4 moved.
    EXPECT_TRUE(ChangeAlerts(Pass("pop", 60, {ResultAt({ItemState::Found, 6, 1})}),
                             &(baseline = {7, 10, {{"42", ItemState::Found, 2, 1}}}), 5)
                    .empty());
}

TEST(ChangeAlerts, BalloonListsFiveThenCountsAll) {
    std::vector<ChangeAlert> alerts;
    for (int i = 1; i <= 7; ++i)
        alerts.push_back({std::to_string(i), "宝贝" + std::to_string(i), AlertKind::EnteredPage1, ItemState::Found, 3,
                          5, ItemState::Found, 1, 2});
    alerts[1].title.clear();
    alerts[2].toState = ItemState::NotFound;
    const std::string text = BalloonText(alerts);
    EXPECT_EQ(text, "宝贝1 第3页·中 → 第1页·上\n"
                    "2 第3页·中 → 第1页·上\n"
                    "宝贝3 第3页·中 → 未找到\n"
                    "宝贝4 第3页·中 → 第1页·上\n"
                    "宝贝5 第3页·中 → 第1页·上\n"
                    "…等 7 个宝贝");
    alerts.resize(5);
    EXPECT_EQ(text.substr(0, text.rfind('\n')), BalloonText(alerts));
    EXPECT_EQ(BalloonText({}), "");
}

TEST(PlaceLabel, ReadsAsTheSellerSeesIt) {
    EXPECT_EQ(PlaceLabel(ItemState::Found, 2, 3), "第2页·上");
    EXPECT_EQ(PlaceLabel(ItemState::Found, 12, 7), "第12页·下");
    EXPECT_EQ(PlaceLabel(ItemState::NotFound, 0, 0), "未找到");
    EXPECT_EQ(PlaceLabel(ItemState::Incomplete, 0, 0), "未查完");
    base::Clock::time_point t;
    ASSERT_TRUE(ParseIsoTime(IsoTime(testing::At(61)), t));
    EXPECT_EQ(t, testing::At(61));
    EXPECT_EQ(IsoTime(testing::At(61)), "2025-12-01T01:01:00Z");
    EXPECT_FALSE(ParseIsoTime("2025-12-01 01:01:00", t));
}

TEST(PlaceLabel, StoredTimesReadBackAsTimegmReadsThem) {
    // Every 997,717 s (about 11.5 days, so every day of the month and of leap years comes round) from 1901 to
    // 2099, and days past a month's end, which timegm runs into the next month.
    std::vector<std::string> texts = {"2024-02-30T00:00:00Z", "2023-02-29T12:00:00Z", "2100-02-29T00:00:00Z",
                                      "2000-02-29T23:59:60Z", "1970-01-01T00:00:00Z"};
    for (std::time_t s = -2145916800; s < 4102444800; s += 997717)
        texts.push_back(IsoTime(base::Clock::from_time_t(s)));
    for (const std::string& text : texts) {
        std::tm parts{};
        ASSERT_NE(strptime(text.c_str(), "%Y-%m-%dT%H:%M:%SZ", &parts), nullptr) << text;
        base::Clock::time_point t;
        ASSERT_TRUE(ParseIsoTime(text, t)) << text;
        EXPECT_EQ(base::Clock::to_time_t(t), timegm(&parts)) << text;
    }
}

} // namespace
} // namespace rankmoth::history
