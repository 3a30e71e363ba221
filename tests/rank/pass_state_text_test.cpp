// How a pass's ending reads in the status bar: its state word and the sentence behind it.
#include "tests/rank/rank_harness.h"

#include <gtest/gtest.h>

#include <set>

namespace rankmoth::rank::testing {
namespace {

using namespace std::chrono_literals;

const Text kRedDress = "红色连衣裙 款号07"_gbk;

base::PassOutcome Outcome(int found, int items, int requests, int failed, bool stopped = false) {
    base::PassOutcome pass;
    pass.pagesWalked = 10;
    pass.requests = requests;
    pass.failedRequests = failed;
    pass.stopped = stopped;
    for (int k = 0; k < items; ++k) {
        pass.items.emplace_back();
        pass.items.back().state = k < found           ? base::ItemState::Found
                                  : failed || stopped ? base::ItemState::Incomplete
                                                      : base::ItemState::NotFound;
    }
    return pass;
}

TEST(PassStateTextTest, StateAndSentenceOfEveryEnding) {
    using K = base::FailureKind;
    struct Failure {
        K kind;
        const char* reason;
        int count;
    };
    const struct {
        int found, items, requests, failed;
        bool stopped;
        std::vector<Failure> failures;
        const char* state;
        const char* sentence;
    } cases[] = {
        {5, 45, 110, 0, false, {}, " 查询完成 5/45", "110 个请求全部成功，5/45 个宝贝已找到，其余不在前 10 页"},
        {3, 3, 110, 0, false, {}, " 查询完成 3/3", "110 个请求全部成功，3/3 个宝贝已找到"},
        {5,
         45,
         11,
         11,
         false,
         {{K::Refused, "connection refused", 11}},
         " 查询未完成 5/45",
         "11 个请求失败（连接被拒绝），5/45 个宝贝已找到，其余未查完"},
        {0,
         45,
         110,
         11,
         false,
         {{K::Deadline, "timed out", 8}, {K::HttpStatus, "HTTP 503 Service Unavailable", 3}},
         " 查询未完成 0/45",
         "11 个请求失败（超时 8 个、HTTP 503 3 个），0/45 个宝贝已找到，其余未查完"},
        // Until the engine counts failures by kind, the count stands alone.
        {2, 2, 110, 4, false, {}, " 查询未完成 2/2", "4 个请求失败，2/2 个宝贝已找到"},
        // The request a stop cuts short is no failure of the marketplace's.
        {1, 3, 15, 1, true, {{K::Stopped, "stopped", 1}}, " 已停止 1/3", "查询已停止，1/3 个宝贝已找到，其余未查完"},
        {0,
         3,
         15,
         3,
         true,
         {{K::Stopped, "stopped", 1}, {K::CutOff, "cut off after 812 of 4096 bytes", 2}},
         " 已停止 0/3",
         "查询已停止，2 个请求失败（应答不完整），0/3 个宝贝已找到，其余未查完"},
        {0,
         1,
         11,
         11,
         false,
         {{K::HttpStatus, "HTTP/2 stream reset", 11}},
         " 查询未完成 0/1",
         "11 个请求失败（HTTP 错误），0/1 个宝贝已找到，其余未查完"},
    };
    for (const auto& c : cases) {
        base::PassOutcome pass = Outcome(c.found, c.items, c.requests, c.failed, c.stopped);
        for (const Failure& f : c.failures)
            for (int k = 0; k < f.count; ++k)
                pass.failures.Add(f.kind, f.reason);
        const PassStateText text = FinishedStateText(pass, c.stopped);
        EXPECT_EQ(text.state, Text::FromUtf8(c.state)) << c.sentence;
        EXPECT_EQ(text.sentence, Text::FromUtf8(c.sentence)) << text.sentence.ToUtf8();
    }
}

TEST(PassStateTextTest, EveryFailureKindHasItsOwnWords) {
    using K = base::FailureKind;
    std::set<Text> words;
    for (const K kind : {K::Refused, K::Unresolved, K::Deadline, K::CutOff, K::HttpStatus, K::TooLarge, K::Stopped,
                         K::NotAnswer, K::Other})
        words.insert(FailureWords({kind, "HTTP 404", 1}));
    EXPECT_EQ(words.size(), 9u);
    EXPECT_EQ(FailureWords({K::HttpStatus, "HTTP 404", 1}), Text("HTTP 404"));
}

// The status bar's first panel carries the state from the start of a pass to its end, whatever ends it; the
// second keeps its texts.
TEST(PassStateTextTest, RunsWriteTheStateIntoTheFirstPanelAndTheSentenceIntoItsTip) {
    const auto stateWrites = [](const FakeControls& controls) {
        std::vector<std::string> writes;
        for (const auto& [control, text] : controls.TextHistory())
            if (control == "状态条1#0")
                writes.push_back(text.ToUtf8());
        return writes;
    };
    const auto tip = [](RankHarness& h) { return h.controls.Control(kMain, "状态条1#0").toolTip.ToUtf8(); };

    RankHarness clean;
    clean.AddItem("52000107", kRedDress);
    clean.AddItem("52000103", Text("t3"));
    clean.market.placed[{1, 5}] = kRedDress.bytes();
    clean.SetPageLimit("1");
    clean.query.RunRankQuery();
    EXPECT_EQ(stateWrites(clean.controls), (std::vector<std::string>{" 正在查询", " 查询完成 1/2"}));
    EXPECT_EQ(tip(clean), "11 个请求全部成功，1/2 个宝贝已找到，其余不在前 1 页");
    EXPECT_EQ(clean.Status(), QueryProgressStatus("潮流"_gbk, 1, 10, 2));

    RankHarness failed;
    failed.AddItem("52000107", kRedDress);
    failed.SetPageLimit("1");
    failed.market.sliceOverride[{1, 4}] = "";
    failed.query.RunRankQuery();
    EXPECT_EQ(stateWrites(failed.controls).back(), " 查询未完成 0/1");
    EXPECT_EQ(tip(failed), "1 个请求失败（应答无效），0/1 个宝贝已找到，其余未查完");

    RankHarness stopped;
    stopped.AddItem("1", Text("t1"));
    stopped.SetPageLimit("5");
    stopped.pump.PostAt(1500ms, [&] { stopped.query.RequestStop(); });
    stopped.query.RunRankQuery();
    EXPECT_EQ(stateWrites(stopped.controls).back(), " 已停止 0/1");
    EXPECT_EQ(stopped.Status(), " 查询已停止"_gbk);

    // A refused start is no pass: the state stays as it was.
    RankHarness refused;
    refused.query.RunRankQuery();
    EXPECT_TRUE(stateWrites(refused.controls).empty());
}

} // namespace
} // namespace rankmoth::rank::testing
