// The engine on its own: what a pass reports when requests fail, when it is stopped, and how the headless
// request policy spaces and repeats requests.
#include "rank/listing_walk.h"
#include "tests/rank/rank_harness.h"
#include "tests/rank/sim_process.h"
#include "tests/support/fake_controls.h"
#include "tests/support/fake_pump.h"
#include "web/cookie_jar.h"
#include "web/fetch.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace rankmoth::rank::testing {
namespace {

using namespace std::chrono_literals;
using base::ItemState;
using base::Zone;

const Text kDress = "红色连衣裙 款号07"_gbk;
const Text kSkirt = "宽松半身裙 款号03"_gbk;

struct Recorder final : ListingWalkObserver {
    std::vector<ItemHit> hits;
    std::vector<std::pair<int, int>> failedSlices;
    int checks = 0;
    int stopAfterChecks = -1;
    bool stop = false;
    int finished = 0;
    void SliceFetched(int page, int slice, bool complete) override {
        if (!complete)
            failedSlices.push_back({page, slice});
    }
    void ItemFound(const ItemHit& hit) override { hits.push_back(hit); }
    void ItemChecked(int, int, int, const sources::ShopItem&, bool) override { stop = ++checks == stopAfterChecks; }
    void PassFinished(const base::PassOutcome&) override { ++finished; }
};

struct WalkRig {
    FakeMarket market;
    Recorder recorder;
    std::vector<std::chrono::milliseconds> sleeps;
    // Requests (in order, 0-based) whose first `failFirst` attempts get an empty answer.
    std::map<int, int> failFirst;
    int sent = 0;
    std::map<int, int> attemptsOf;

    Bytes Answer(int request, const std::function<Bytes()>& real) {
        const Bytes answer = real();
        return attemptsOf[request]++ < failFirst[request] ? Bytes{} : answer;
    }

    bool skipSlicesOfFailedPage = false;

    base::PassOutcome Run(int pageLimit, web::RequestPolicy policy = {}) {
        policy.sleep = [this](std::chrono::milliseconds d) { sleeps.push_back(d); };
        // A retry asks again for the request before it, so requests are told apart by what was sent.
        std::string lastSent;
        ListingTransport transport = ListingTransport::OfBodies(
            [this, &lastSent](Text& url) {
                sent += url.bytes() != lastSent;
                lastSent = url.bytes();
                return Answer(sent - 1, [&] { return market.Get(url); });
            },
            [this, &lastSent](Text&, const Text& body) {
                sent += body.bytes() != lastSent;
                lastSent = body.bytes();
                return Answer(sent - 1, [&] { return market.Post(body); });
            });
        WalkOptions options;
        options.marketHost = "market.test";
        options.policy = std::move(policy);
        options.stopRequested = [this] { return recorder.stop; };
        options.skipSlicesOfFailedPage = skipSlicesOfFailedPage;
        base::PassRequest request{Text("demo"), "clothing", {}, "pop", pageLimit};
        return ListingWalk(transport, std::move(options))
            .Run(request, {{Text("52000107"), kDress}, {Text("52000103"), kSkirt}}, &recorder);
    }
};

TEST(ListingWalkTest, FailuresMakeUnfoundItemsIncompleteButNeverUndoAHit) {
    const struct {
        const char* what;
        std::function<void(FakeMarket&)> arrange;
        int pageLimit;
        int requests, failed, pagesWalked;
        ItemState skirt;
    } cases[] = {
        {"clean pass to the limit", [](FakeMarket&) {}, 2, 22, 0, 2, ItemState::NotFound},
        {"listing ends before the limit", [](FakeMarket& m) { m.lastPage = 2; }, 5, 22, 0, 2, ItemState::NotFound},
        {"slice on page 2 fails",
         [](FakeMarket& m) {
             m.sliceOverride[{2, 4}] = "";
         },
         2, 22, 1, 2, ItemState::Incomplete},
        {"slice is not json",
         [](FakeMarket& m) {
             m.sliceOverride[{2, 4}] = "<html>502</html>";
         },
         2, 22, 1, 2, ItemState::Incomplete},
        {"time-out text as a page", [](FakeMarket& m) { m.pageOverride[2] = web::TimeoutText().bytes(); }, 3, 33, 1, 3,
         ItemState::Incomplete},
        {"page without its markers", [](FakeMarket& m) { m.pageOverride[3] = "<html>busy</html>"; }, 3, 33, 1, 3,
         ItemState::Incomplete},
        // The last page and a slice without any title still carry their markers.
        {"empty slices",
         [](FakeMarket& m) {
             m.sliceOverride[{1, 9}] = "{\"data\":{\"lastTweetId\":\"x\"},\"html\":\"\"}";
         },
         1, 11, 0, 1, ItemState::NotFound},
    };
    for (const auto& c : cases) {
        WalkRig rig;
        rig.market.placed[{1, 2}] = kDress.bytes();
        rig.market.placed[{1, 8}] = kDress.bytes();
        c.arrange(rig.market);
        const base::PassOutcome out = rig.Run(c.pageLimit);
        EXPECT_EQ(out.requests, c.requests) << c.what;
        EXPECT_EQ(out.failedRequests, c.failed) << c.what;
        EXPECT_EQ(out.pagesWalked, c.pagesWalked) << c.what;
        EXPECT_FALSE(out.stopped) << c.what;
        ASSERT_EQ(out.items.size(), 2u) << c.what;
        EXPECT_EQ(out.items[0].state, ItemState::Found) << c.what;
        EXPECT_EQ(out.items[0].page, 1) << c.what;
        EXPECT_EQ(out.items[0].slice, 2) << c.what;
        EXPECT_EQ(out.items[0].hits, 2) << c.what;
        EXPECT_EQ(out.items[1].state, c.skirt) << c.what;
        EXPECT_EQ(out.items[1].page, 0) << c.what;
        EXPECT_EQ(rig.recorder.finished, 1) << c.what;
    }
}

TEST(ListingWalkTest, AFailedPageSkipsItsSlicesHeadlessWhileTheWindowStillAsksForThem) {
    for (const bool skip : {true, false}) {
        SCOPED_TRACE(skip ? "headless" : "window");
        WalkRig rig;
        rig.skipSlicesOfFailedPage = skip;
        rig.market.pageOverride[2] = "<html>busy</html>";
        // A hit in a slice of the failed page would be counted on the wrong page.
        rig.market.placed[{2, 1}] = kSkirt.bytes();
        rig.market.placed[{3, 5}] = kDress.bytes();
        const base::PassOutcome out = rig.Run(3);
        EXPECT_EQ(out.requests, skip ? 23 : 33);
        EXPECT_EQ(out.failedRequests, 1);
        ASSERT_EQ(out.failures.entries().size(), 1u);
        EXPECT_EQ(out.failures.entries()[0].kind, base::FailureKind::NotAnswer);
        EXPECT_EQ(out.items[0].state, ItemState::Found);
        EXPECT_EQ(out.items[0].page, 3);
        EXPECT_EQ(out.items[1].state, skip ? ItemState::Incomplete : ItemState::Found);
    }
}

TEST(ListingWalkTest, AHostThatRefusesThreeTimesInARowIsNotAskedAgain) {
    int sent = 0;
    const auto refuse = [&sent] {
        ++sent;
        return web::Answer::Failed(base::FailureKind::Refused, "connection refused");
    };
    ListingTransport transport;
    transport.get = [&](Text&, const StopCheck&) { return refuse(); };
    transport.post = [&](Text&, const Text&, const StopCheck&) { return refuse(); };
    WalkOptions options;
    options.marketHost = "market.test";
    options.policy.retries = 2;
    options.policy.sleep = [](std::chrono::milliseconds) {};
    options.policy.unreachableAttemptsToGiveUp = 3;
    options.skipSlicesOfFailedPage = true;
    const base::PassOutcome out = ListingWalk(transport, std::move(options))
                                      .Run({Text("demo"), "clothing", {}, "pop", 20}, {{Text("52000107"), kDress}});
    EXPECT_EQ(sent, 3);
    EXPECT_EQ(out.pagesWalked, 1);
    ASSERT_EQ(out.failures.entries().size(), 1u);
    EXPECT_EQ(out.failures.entries()[0].firstReason, "connection refused on 3 requests in a row");
    EXPECT_EQ(out.items[0].state, ItemState::Incomplete);
}

TEST(ListingWalkTest, ZonesChangeBetweenSlicesThreeAndFourAndSixAndSeven) {
    WalkRig rig;
    const std::pair<int, Zone> placed[] = {{3, Zone::Upper}, {4, Zone::Middle}, {6, Zone::Middle}, {7, Zone::Lower}};
    for (const auto& [slice, zone] : placed)
        rig.market.placed[{1, slice}] = kSkirt.bytes();
    const base::PassOutcome out = rig.Run(1);
    ASSERT_EQ(rig.recorder.hits.size(), 4u);
    for (std::size_t k = 0; k < 4; ++k) {
        EXPECT_EQ(rig.recorder.hits[k].slice, placed[k].first);
        EXPECT_EQ(rig.recorder.hits[k].zone, placed[k].second) << placed[k].first;
        EXPECT_EQ(rig.recorder.hits[k].itemNumber, 2);
    }
    EXPECT_EQ(out.items[1].zone(), Zone::Upper);
    EXPECT_EQ(out.items[1].hits, 4);
    EXPECT_EQ(out.items[0].zone(), Zone::None);
}

TEST(ListingWalkTest, StopAfterAnItemCheckLeavesUnfoundItemsIncompleteAndKeepsHits) {
    WalkRig rig;
    rig.market.placed[{1, 1}] = kDress.bytes();
    rig.recorder.stopAfterChecks = 2 * 14 + 1; // the first check of page 2's fifth slice
    const base::PassOutcome out = rig.Run(5);
    EXPECT_TRUE(out.stopped);
    EXPECT_FALSE(out.clean());
    EXPECT_EQ(rig.recorder.checks, 29);
    EXPECT_EQ(out.requests, 11 + 1 + 5);
    EXPECT_EQ(rig.market.posts.size(), 15u);
    EXPECT_EQ(out.items[0].state, ItemState::Found);
    EXPECT_EQ(out.items[1].state, ItemState::Incomplete);
}

TEST(ListingWalkTest, RetriesAfterOneThenThreeSecondsAndOnlyAnswersFailedThroughoutCount) {
    const struct {
        const char* what;
        int retries;
        int failFirst; // attempts of request 3 (slice 3 of page 1) that fail
        int failed;
        std::vector<std::chrono::milliseconds> sleeps;
    } cases[] = {
        {"no retries", 0, 1, 1, {}},
        {"fails once, then answers", 2, 1, 0, {1s}},
        {"fails through every retry", 2, 3, 1, {1s, 3s}},
        {"more retries than waits", 3, 9, 1, {1s, 3s, 3s}},
    };
    for (const auto& c : cases) {
        WalkRig rig;
        rig.failFirst[3] = c.failFirst;
        web::RequestPolicy policy;
        policy.retries = c.retries;
        const base::PassOutcome out = rig.Run(1, policy);
        EXPECT_EQ(out.failedRequests, c.failed) << c.what;
        EXPECT_EQ(out.requests, 11) << c.what;
        EXPECT_EQ(rig.sleeps, c.sleeps) << c.what;
        EXPECT_EQ(out.items[1].state, c.failed ? ItemState::Incomplete : ItemState::NotFound) << c.what;
        // A retry sends the same bytes again, and the walk goes on from its answer.
        EXPECT_EQ(rig.market.posts.size(), 10u + rig.attemptsOf[3] - 1) << c.what;
    }
}

TEST(ListingWalkTest, GapSeparatesConsecutiveRequestsButNotTheFirst) {
    WalkRig rig;
    rig.failFirst[5] = 1;
    web::RequestPolicy policy;
    policy.gap = 200ms;
    policy.retries = 1;
    rig.Run(2, policy);
    std::vector<std::chrono::milliseconds> expected(21, 200ms);
    expected.insert(expected.begin() + 5, 1s); // the retry waits its own time, not the gap
    EXPECT_EQ(rig.sleeps, expected);
}

// The window's query hands every pass to passFinished with the same verdicts.
TEST(ListingWalkTest, WindowPassIsHandedOverStoppedOrWithItsFailures) {
    RankHarness h;
    std::vector<base::PassOutcome> passes;
    RankEnv env = h.query.env();
    env.passFinished = [&](const base::PassOutcome& out) { passes.push_back(out); };
    RankQuery query(env);
    h.items.shopId = Text("demo");
    h.AddItem("52000107", kDress);
    h.AddItem("52000103", kSkirt);
    h.market.placed[{1, 5}] = kDress.bytes();
    h.market.sliceOverride[{2, 1}] = "";
    h.SetPageLimit("2");
    query.RunRankQuery();

    h.pump.PostAt(h.pump.Now() + 500ms, [&] { query.RequestStop(); });
    query.RunRankQuery();
    ASSERT_EQ(passes.size(), 2u);
    EXPECT_EQ(passes[0].request.shop, Text("demo"));
    EXPECT_EQ(passes[0].request.category, "clothing");
    EXPECT_EQ(passes[0].request.sort, "pop");
    EXPECT_EQ(passes[0].request.pageLimit, 2);
    EXPECT_EQ(passes[0].failedRequests, 1);
    EXPECT_EQ(passes[0].items[0].state, ItemState::Found);
    EXPECT_EQ(passes[0].items[0].slice, 5);
    EXPECT_EQ(passes[0].items[1].state, ItemState::Incomplete);
    EXPECT_TRUE(passes[1].stopped);
    EXPECT_EQ(passes[1].items[0].state, ItemState::Incomplete);
    EXPECT_EQ(h.Rows().size(), 0u); // the stopped pass cleared the list before its first find
}

// The simulator's pages carry every marker, its last page included: a pass that ends on the listing's end
// is clean, and items it did not place are not_found.
TEST(ListingWalkSimTest, ShortListingEndsCleanBeforeTheLimit) {
    const auto catalogue = std::filesystem::temp_directory_path() /
                           (std::string("rankmoth-walk-") + std::to_string(::getpid()) + ".catalogue");
    std::ofstream(catalogue) << "pages 3\nshop tiny 2\nitem tiny 9001 晴天 短袖\nplace clothing pop 3 7 9001\n"
                                "item tiny 9002 雨天 长袖\n";
    rankmoth::testing::SimProcess sim({"--catalogue=" + catalogue.string()});
    std::filesystem::remove(catalogue);
    if (!sim.running())
        GTEST_SKIP() << "rankmoth-sim is not built";
    FakeControls controls;
    FakePump pump;
    web::CookieJar cookies;
    WalkOptions options;
    options.marketHost = sim.HostPort();
    ListingWalk walk(WebListingTransport(web::WebEnv{pump, controls, cookies}), options);
    const base::PassOutcome out = walk.Run({Text("tiny"), "clothing", {}, "pop", 10},
                                           {{Text("9001"), "晴天 短袖"_gbk}, {Text("9002"), "雨天 长袖"_gbk}});
    EXPECT_TRUE(out.clean());
    EXPECT_EQ(out.pagesWalked, 3);
    EXPECT_EQ(out.requests, 33);
    EXPECT_EQ(out.items[0].state, ItemState::Found);
    EXPECT_EQ(out.items[0].page, 3);
    EXPECT_EQ(out.items[0].zone(), Zone::Lower);
    EXPECT_EQ(out.items[1].state, ItemState::NotFound);
}

} // namespace
} // namespace rankmoth::rank::testing
