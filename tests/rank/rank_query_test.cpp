#include "tests/rank/rank_harness.h"

#include <gtest/gtest.h>

namespace rankmoth::rank::testing {
namespace {

using namespace std::chrono_literals;

const Text kRedDress = "红色连衣裙 款号07"_gbk;

std::string PageKeyOf(const std::string& body) {
    return body.substr(body.find("&page=") + 6, 1);
}

TEST(RankWalkTest, PageLimitOneMakesOneGetAndTenSlicesKeyedZeroToNine) {
    RankHarness h;
    h.AddItem("52000107", kRedDress);
    h.SetPageLimit("1");
    h.query.RunRankQuery();

    ASSERT_EQ(h.market.gets.size(), 1u);
    EXPECT_EQ(h.market.gets[0], "http://market.test/book/clothing//1/pop/all/?color=&minPrice=&maxPrice=&fc=&fc_v=&f=");
    ASSERT_EQ(h.market.posts.size(), 10u);
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(PageKeyOf(h.market.posts[k]), std::to_string(k));
    // The first slice continues from the page's token, every later one from the slice before it; the book is
    // encoded, the total is not.
    EXPECT_EQ(h.market.posts[0], "lastTweetId=p1-0&book=clothing%3Apop&totalCol=4&page=0&total=4000");
    EXPECT_EQ(h.market.posts[4], "lastTweetId=p1-4&book=clothing%3Apop&totalCol=4&page=4&total=4000");
    EXPECT_FALSE(h.state.running);
    EXPECT_EQ(h.state.pageNumber, 1);
}

TEST(RankWalkTest, SliceWithoutTokenMakesTheNextBodyStartWithAnEmptyToken) {
    RankHarness h;
    h.AddItem("1", kRedDress);
    h.SetPageLimit("1");
    h.market.sliceOverride[{1, 3}] = "not json at all";
    h.market.sliceOverride[{1, 5}] = "{\"bad\":\"line\nfeed\"}"; // escapes that do not decode
    h.query.RunRankQuery();
    ASSERT_EQ(h.market.posts.size(), 10u);
    EXPECT_EQ(h.market.posts[3].rfind("lastTweetId=&book=", 0), 0u) << h.market.posts[3];
    EXPECT_EQ(h.market.posts[5].rfind("lastTweetId=&book=", 0), 0u) << h.market.posts[5];
    EXPECT_TRUE(h.Rows().empty());
}

TEST(RankWalkTest, PagesWithoutMarkersStillWalkToTheLimit) {
    RankHarness h;
    h.AddItem("1", kRedDress);
    h.SetPageLimit("3");
    for (int p = 1; p <= 3; ++p)
        h.market.pageOverride[p] = ""; // failed or empty listing pages
    h.query.RunRankQuery();
    EXPECT_EQ(h.market.gets.size(), 3u);
    ASSERT_EQ(h.market.posts.size(), 30u);
    EXPECT_EQ(h.market.posts[0], "lastTweetId=&book=&totalCol=4&page=0&total=");
}

TEST(RankWalkTest, ListingEndStopsAfterThatPagesTenSlicesButOnlyWhenWrittenExactly) {
    RankHarness h;
    h.AddItem("1", kRedDress);
    h.SetPageLimit("5");
    h.market.lastPage = 2;
    h.query.RunRankQuery();
    EXPECT_EQ(h.market.gets.size(), 2u);
    EXPECT_EQ(h.market.posts.size(), 20u);
    EXPECT_EQ(h.state.pageNumber, 2);

    RankHarness upper;
    upper.AddItem("1", kRedDress);
    upper.SetPageLimit("3");
    upper.market.pageOverride[1] = "{\"LastTweetId\":null} {\"lastTweetId\":NULL}";
    upper.query.RunRankQuery();
    EXPECT_EQ(upper.market.gets.size(), 3u);
}

TEST(RankWalkTest, ItemInSlicesTwoAndEightGivesUpperThenLowerRow) {
    RankHarness h;
    h.AddItem("52000101", "别的宝贝 款号01"_gbk);
    h.AddItem("52000107", kRedDress);
    h.market.placed[{1, 2}] = kRedDress.bytes();
    h.market.placed[{1, 8}] = kRedDress.bytes();
    h.SetPageLimit("1");
    h.query.RunRankQuery();

    const auto rows = h.Rows();
    ASSERT_EQ(rows.size(), 2u);
    const std::vector<Text> first = {Text("1"), Text("***00107"), "在第1页靠上面的位置发现了此宝贝"_gbk, "潮流"_gbk,
                                     Text("2024-3-5 9:05:07")};
    EXPECT_EQ(rows[0], first);
    EXPECT_EQ(rows[1][0], Text("2"));
    EXPECT_EQ(rows[1][2], "在第1页靠下面的位置发现了此宝贝"_gbk);
    const auto list = h.controls.Control(kMain, kList);
    EXPECT_EQ(list.cellColours.at({1, 3}), std::make_pair(base::Colour{0x0000FF}, base::Colour{0x80FF80}));
    EXPECT_EQ(list.lastScrolledRow, 1);
    EXPECT_EQ(h.controls.SoundsPlayed(), 0);
}

TEST(RankWalkTest, AlertSoundOncePerHitWhenTicked) {
    RankHarness h;
    h.AddItem("52000107", kRedDress);
    h.market.placed[{1, 1}] = kRedDress.bytes() + kRedDress.bytes();
    h.market.placed[{1, 9}] = kRedDress.bytes();
    h.controls.SetChecked(kMain, "选择框_提示音", true);
    h.controls.SetChecked(kMain, "单选框_先查最热", true);
    h.SetPageLimit("1");
    h.query.RunRankQuery();
    EXPECT_EQ(h.controls.SoundsPlayed(), 2);
    EXPECT_EQ(h.Rows()[0][3], "最热"_gbk);
    EXPECT_EQ(h.controls.Control(kMain, kList).cellColours.at({0, 3}).second, base::Colour{0x00FFFF});
    EXPECT_NE(h.market.gets[0].find("/hot30day/"), std::string::npos);
}

TEST(RankWalkTest, EveryItemCheckWritesProgressAndPausesATenthOfASecond) {
    RankHarness h;
    h.AddItem("52000101", Text("a1"));
    h.AddItem("52000102", Text("a2"));
    h.AddItem("52000103", Text("a3"));
    h.SetPageLimit("1");
    h.query.RunRankQuery();
    EXPECT_EQ(h.pump.waits(), 30);
    EXPECT_EQ(h.pump.totalWaited(), 3s);
    std::vector<Text> statuses;
    for (const auto& [control, text] : h.controls.TextHistory()) {
        if (control == "状态条1#1")
            statuses.push_back(text);
    }
    ASSERT_EQ(statuses.size(), 30u);
    EXPECT_EQ(statuses.front(), " 当前查询排序: 潮流 -> 当前查询页面: 第1页 -> 查询进度: 0 -> 宝贝进度: 1"_gbk);
    EXPECT_EQ(statuses.back(), " 当前查询排序: 潮流 -> 当前查询页面: 第1页 -> 查询进度: 9 -> 宝贝进度: 3"_gbk);
    EXPECT_EQ(h.controls.GetText(kMain, "标签_进度提示"), "正在查询第3个，宝贝ID:52000103"_gbk);
}

TEST(RankWalkTest, PageLimitLoweredDuringTheRunEndsItAfterThatPage) {
    RankHarness h;
    h.AddItem("1", kRedDress);
    h.SetPageLimit("50");
    h.market.onRequest = [&] {
        if (h.market.gets.size() == 2 && h.market.posts.size() == 15) {
            h.query.PageLimitFocus();
            h.SetPageLimit("2");
            h.query.PageLimitChanged();
        }
    };
    h.query.RunRankQuery();
    EXPECT_EQ(h.market.gets.size(), 2u);
    EXPECT_EQ(h.market.posts.size(), 20u);
}

TEST(RankStartTest, RefusalsChangeNothingButTheirMessage) {
    RankHarness h;
    h.controls.AddRow(kMain, kList, Text("1"));
    h.state.pageNumber = 7;
    h.query.RunRankQuery();
    ASSERT_EQ(h.controls.MessageBoxes().size(), 1u);
    EXPECT_EQ(h.controls.MessageBoxes()[0].text, "还木有要查询的宝贝！请导入宝贝ID或加载宝贝ID"_gbk);
    EXPECT_EQ(h.controls.MessageBoxes()[0].style, 48);
    EXPECT_EQ(h.controls.MessageBoxes()[0].caption, "提示"_gbk);
    EXPECT_EQ(h.Rows().size(), 1u);
    EXPECT_EQ(h.state.pageNumber, 7);
    EXPECT_TRUE(h.market.gets.empty());
}

TEST(RankStartTest, PageLimitOutsideOneToHundredIsRefusedAndReset) {
    for (const char* limit : {"0", "101", "abc", "", "-5", "99999999999999999999"}) {
        RankHarness h;
        h.AddItem("1", kRedDress);
        h.SetPageLimit(limit);
        h.query.RunRankQuery();
        EXPECT_TRUE(h.market.gets.empty()) << limit;
        EXPECT_EQ(h.controls.GetText(kMain, "编辑框_最多页"), Text("100")) << limit;
        ASSERT_EQ(h.controls.MessageBoxes().size(), 1u) << limit;
        EXPECT_EQ(h.controls.MessageBoxes()[0].text, "最多页不能＜1、不能＞100哦"_gbk);
        EXPECT_FALSE(h.state.running);
    }
    for (const char* limit : {" 5 ", "5x", "５"}) {
        RankHarness h;
        h.AddItem("1", kRedDress);
        h.SetPageLimit(limit);
        h.query.RunRankQuery();
        EXPECT_EQ(h.state.pageLimit, 5) << limit;
        EXPECT_EQ(h.market.gets.size(), 5u) << limit;
    }
}

TEST(RankStartTest, NoSelectionsMeanClothingAndTrendAndSubCategoryFieldsAreKept) {
    RankHarness h;
    h.AddItem("1", kRedDress);
    h.SetPageLimit("1");
    h.controls.SelectComboEntry(kMain, "组合框_大分类", -1);
    h.controls.SetChecked(kMain, "单选框_先查潮流", false);
    h.controls.AddComboEntry(kMain, "组合框_小分类", Text("A|1||x"));
    h.controls.SelectComboEntry(kMain, "组合框_小分类", 0);
    h.controls.SetText(kMain, "编辑框_检索间隔", Text("700"));
    h.query.RunRankQuery();
    EXPECT_EQ(h.state.categorySlug, Text("clothing"));
    EXPECT_EQ(h.state.sortKey, Text("pop"));
    EXPECT_EQ(h.state.subCategoryFields, (std::vector<Text>{Text("A"), Text("1"), Text{}, Text("x")}));
    EXPECT_EQ(h.state.interval, 700); // a start copies the interval unchecked

    RankHarness shoes;
    shoes.AddItem("1", kRedDress);
    shoes.SetPageLimit("1");
    shoes.controls.SelectComboEntry(kMain, "组合框_大分类", 1);
    shoes.controls.SetChecked(kMain, "单选框_先查最新", true);
    shoes.query.RunRankQuery();
    EXPECT_NE(shoes.market.gets[0].find("/book/shoes//1/new/"), std::string::npos);
}

TEST(RankStartTest, StartDuringARunOnlyChangesTheHintForTenSeconds) {
    RankHarness h;
    for (int k = 1; k <= 10; ++k) // a run of 2 pages then lasts 20 s
        h.AddItem(std::to_string(k), Text(std::string("t") + std::to_string(k)));
    h.SetPageLimit("2");
    h.controls.SetText(kMain, "标签_提示", "关键词可以为: 宝贝ID"_gbk);
    bool clicked = false;
    std::chrono::milliseconds clickedAt{};
    Text hintAfterClick;
    h.market.onRequest = [&] {
        if (!clicked && h.market.posts.size() == 3) {
            clicked = true;
            clickedAt = h.pump.Now();
            h.query.RunRankQuery();
            hintAfterClick = h.Hint();
            h.pump.PostAt(clickedAt + 9900ms, [&] { EXPECT_EQ(h.Hint(), "提示：当前正在进行查询哦~"_gbk); });
        }
    };
    h.query.RunRankQuery();
    EXPECT_EQ(hintAfterClick, "提示：当前正在进行查询哦~"_gbk);
    EXPECT_EQ(h.market.gets.size(), 2u);
    EXPECT_EQ(h.market.posts.size(), 20u);
    EXPECT_GT(h.pump.Now(), clickedAt + 10s); // the run outlasted the hint, so the restore ran
    EXPECT_EQ(h.Hint(), "关键词可以为: 主人ID、宝贝ID"_gbk);
    EXPECT_TRUE(h.controls.MessageBoxes().empty());
}

TEST(RankStartTest, StopEndsTheWalkAfterTheCurrentItemCheckAndTheNextStartClearsIt) {
    RankHarness h;
    h.AddItem("1", Text("t1"));
    h.AddItem("2", Text("t2"));
    h.AddItem("3", Text("t3"));
    h.SetPageLimit("5");
    h.pump.PostAt(1500ms, [&] { h.query.RequestStop(); }); // during the 15th item check (slice 5)
    h.query.RunRankQuery();
    EXPECT_FALSE(h.state.running);
    EXPECT_EQ(h.market.posts.size(), 5u);
    EXPECT_EQ(h.pump.waits(), 15);
    EXPECT_EQ(h.Status(), " 查询已停止"_gbk);

    h.SetPageLimit("1");
    h.query.RunRankQuery();
    EXPECT_EQ(h.market.posts.size(), 15u);
    EXPECT_FALSE(h.state.stopRequested);
}

TEST(RankStartTest, StopDuringARequestIsHonouredWhenItReturns) {
    RankHarness h;
    h.AddItem("1", Text("t1"));
    h.SetPageLimit("3");
    h.market.onRequest = [&] {
        if (h.market.gets.size() == 2 && h.market.posts.size() == 10)
            h.query.RequestStop();
    };
    h.query.RunRankQuery();
    EXPECT_EQ(h.market.posts.size(), 10u);
    EXPECT_EQ(h.pump.waits(), 10);
    EXPECT_EQ(h.Status(), " 查询已停止"_gbk);
}

TEST(RankStartTest, ReloadDuringAPassNeverReadsPastTheLists) {
    RankHarness h;
    for (int k = 1; k <= 5; ++k)
        h.AddItem(std::string("500000") + std::to_string(k), Text(std::string("t") + std::to_string(k)));
    h.market.placed[{1, 1}] = "t1 t5";
    h.market.placed[{1, 2}] = "t5";
    h.SetPageLimit("1");
    // A reload begins after the first item check: it empties the lists while the count still says 5.
    h.pump.PostAt(100ms, [&] {
        h.items.ShopItemIds.clear();
        h.items.ShopItemTitles.clear();
        h.items.ShopItemIds.push_back(Text("9000009"));
        h.items.ShopItemTitles.push_back(Text("t5"));
    });
    h.query.RunRankQuery();
    const auto rows = h.Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[1][1], Text("***0005")); // item 5 of the pass that began before the reload
    EXPECT_EQ(rows[2][1], Text("***0009"));
    EXPECT_EQ(h.market.posts.size(), 10u);
    // Later passes see the one item the lists now hold.
    EXPECT_EQ(h.pump.waits(), 5 + 9);
}

// The big-category walk reads no sub-category: a pass of it is the same listing as any other pass of the
// category, and must be recorded as such.
TEST(RankStartTest, BigCategoryPassRecordsNoSubCategory) {
    RankHarness h;
    std::vector<base::PassOutcome> passes;
    RankEnv env = h.query.env();
    env.passFinished = [&](const base::PassOutcome& out) { passes.push_back(out); };
    RankQuery query(env);
    h.AddItem("1", kRedDress);
    h.SetPageLimit("1");
    h.controls.AddComboEntry(kMain, "组合框_小分类", "连衣裙|50001"_gbk);
    h.controls.SelectComboEntry(kMain, "组合框_小分类", 0);
    query.RunRankQuery();
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_EQ(passes[0].request.subCategory, Text());
    EXPECT_EQ(passes[0].request.category, "clothing");
}

TEST(PageLimitBoxTest, OutOfRangeContentPutsTheRememberedTextBack) {
    RankHarness h;
    h.state.pageLimit = 100;
    h.query.PageLimitFocus();
    const struct {
        const char* typed;
        const char* box;
        int limit;
        bool message;
    } steps[] = {
        {"1", "1", 1, false},     {"15", "15", 15, false}, {"150", "100", 15, true},    {"", "100", 15, true},
        {"abc", "100", 15, true}, {"0", "100", 15, true},  {" 42 ", " 42 ", 42, false},
    };
    std::size_t boxes = 0;
    for (const auto& s : steps) {
        h.SetPageLimit(s.typed);
        h.query.PageLimitChanged();
        EXPECT_EQ(h.controls.GetText(kMain, "编辑框_最多页"), Text::FromUtf8(s.box)) << s.typed;
        EXPECT_EQ(h.state.pageLimit, s.limit) << s.typed;
        boxes += s.message;
        EXPECT_EQ(h.controls.MessageBoxes().size(), boxes) << s.typed;
    }
    EXPECT_EQ(h.controls.MessageBoxes().back().text, "最多页不能＜1、不能＞100哦"_gbk);

    // The text remembered at focus is trimmed.
    h.SetPageLimit(" 20 ");
    h.query.PageLimitFocus();
    h.SetPageLimit("200");
    h.query.PageLimitChanged();
    EXPECT_EQ(h.controls.GetText(kMain, "编辑框_最多页"), Text("20"));
}

} // namespace
} // namespace rankmoth::rank::testing
