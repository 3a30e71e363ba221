#include "sources/feed_load.h"
#include "sources/shop_feed.h"
#include "tests/support/fake_controls.h"
#include "tests/support/fake_pump.h"
#include "web/fetch.h"

#include <gtest/gtest.h>

#include <functional>

namespace rankmoth::sources {
namespace {

using namespace std::chrono_literals;

const std::string kBase = "http://shop.test/";

std::string Pack(int first, int count, bool end) {
    std::string page;
    for (int k = first; k < first + count; ++k)
        page += "<a class=\"creply\" href=\"" + kBase + "detail/" + std::to_string(k) +
                "\" target=\"_blank\"><div class=\"title\">t" + std::to_string(k) + "</div></a>";
    return page + (end ? "\"data\":{\"isEnd\":true}" : "");
}

TEST(FeedLoadTest, FailedPacksAreRetriedAndOnlyThoseFailingThroughoutCount) {
    const std::string timeout = web::TimeoutText().bytes();
    const struct {
        const char* what;
        std::vector<std::string> answers; // one per attempt, in order
        int retries;
        std::size_t items;
        int failed;
        bool reachedEnd;
        std::vector<std::chrono::milliseconds> sleeps;
    } cases[] = {
        {"clean", {Pack(1, 2, false), Pack(3, 1, true)}, 0, 3, 0, true, {5ms}},
        {"empty answer once", {Pack(1, 2, false), "", Pack(3, 1, true)}, 2, 3, 0, true, {5ms, 1s}},
        {"time-out then error page",
         {Pack(1, 2, false), timeout, "<html>502</html>", Pack(3, 1, true)},
         2,
         3,
         0,
         true,
         {5ms, 1s, 3s}},
        // Without retries the failed pack is lost, and three barren packs in a row end the load.
        {"no retries", {Pack(1, 2, false), "", "", ""}, 0, 2, 3, false, {5ms, 5ms, 5ms}},
    };
    for (const auto& c : cases) {
        std::size_t attempt = 0;
        std::vector<std::chrono::milliseconds> sleeps;
        FeedLoadOptions options;
        options.shopBase = kBase;
        options.policy.gap = 5ms;
        options.policy.retries = c.retries;
        options.policy.sleep = [&](std::chrono::milliseconds d) { sleeps.push_back(d); };
        FeedLoad load(FeedFetchOfBodies([&](Text&, const Text&, const Bytes&) {
                          return attempt < c.answers.size() ? c.answers[attempt++] : "";
                      }),
                      options);
        const FeedOutcome out = load.Run(Text("shop"));
        EXPECT_EQ(out.items.size(), c.items) << c.what;
        EXPECT_EQ(out.failedRequests, c.failed) << c.what;
        EXPECT_EQ(out.reachedEnd, c.reachedEnd) << c.what;
        EXPECT_EQ(sleeps, c.sleeps) << c.what;
        EXPECT_FALSE(out.stopped) << c.what;
    }
}

TEST(FeedLoadTest, EachItemIsKeptOnceAndALoadWithoutTheEndMarkerSaysWhyItStopped) {
    const struct {
        const char* what;
        std::function<std::string(int pack)> answer;
        std::size_t items;
        int packs;
        std::string incompleteReason; // empty: the load is complete
    } cases[] = {
        {"ends", [](int pack) { return Pack(10 * pack, 2, pack == 3); }, 6, 3, ""},
        {"repeats inside a pack", [](int) { return Pack(1, 2, false) + Pack(1, 3, true); }, 3, 1, ""},
        {"repeats after failing", [](int pack) { return pack == 2 ? "" : Pack(1, 3, false); }, 3, 4,
         "3 feed packs in a row added no new item"},
        {"fails", [](int pack) { return pack == 1 ? Pack(1, 2, false) : ""; }, 2, 4, "3 feed packs in a row failed"},
        // 15,000 items, twenty to a pack: the pack limit cuts the shop.
        {"shop of 15,000", [](int pack) { return Pack(20 * pack, 20, pack == 750); }, 10000, 500,
         "the feed did not end within 500 packs (10000 items)"},
    };
    for (const auto& c : cases) {
        int pack = 0;
        FeedLoadOptions options;
        options.shopBase = kBase;
        FeedLoad load(FeedFetchOfBodies([&](Text&, const Text&, const Bytes&) { return c.answer(++pack); }), options);
        const FeedOutcome out = load.Run(Text("shop"));
        EXPECT_EQ(out.items.size(), c.items) << c.what;
        EXPECT_EQ(out.packs, c.packs) << c.what;
        EXPECT_EQ(out.reachedEnd, c.incompleteReason.empty()) << c.what;
        EXPECT_EQ(out.incomplete, !c.incompleteReason.empty()) << c.what;
        EXPECT_EQ(out.incompleteReason, c.incompleteReason) << c.what;
    }
}

TEST(FeedLoadTest, WindowLoadHandsOverWhatItListedAndNotWhenSuperseded) {
    testing::FakeControls controls;
    testing::FakePump pump;
    ItemList items;
    std::vector<FeedOutcome> loads;
    int requests = 0;
    ShopFeedLoader loader(controls, pump, items, kBase, FeedFetchOfBodies([&](Text&, const Text&, const Bytes&) {
                              return ++requests == 1 ? Pack(1, 3, false) : Pack(4, 1, true);
                          }));
    loader.loadFinished = [&](const FeedOutcome& out) { loads.push_back(out); };
    loader.pause = 20ms;
    // The second click lands inside the first load's pauses and supersedes it.
    pump.PostAt(30ms, [&] { loader.Run(); });
    controls.SetText("MainWindow", "编辑框_优店ID", Text(" demo "));
    loader.Run();
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0].shopId, Text("demo"));
    EXPECT_EQ(items.shopId, Text("demo"));
    EXPECT_EQ(loads[0].items.size(), 1u);
    EXPECT_EQ(items.ShopItemCount, 1);
    EXPECT_EQ(items.ShopItemIds, std::vector<Text>{Text("4")});
    EXPECT_EQ(pump.totalWaited(), 4 * 20ms); // two steps of the first load, a step and a pack of the second
}

} // namespace
} // namespace rankmoth::sources
