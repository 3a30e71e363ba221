// The loader and the query against rankmoth-sim's demo marketplace, over real HTTP on loopback.
#include "rank/rank_query.h"
#include "sources/shop_feed.h"
#include "tests/rank/sim_process.h"
#include "tests/support/fake_controls.h"
#include "tests/support/fake_pump.h"
#include "web/cookie_jar.h"

#include <gtest/gtest.h>

#include <fstream>

namespace rankmoth::rank {
namespace {

using rankmoth::testing::FakeControls;
using rankmoth::testing::FakePump;
using rankmoth::testing::SimProcess;

struct SimHarness {
    SimProcess sim;
    FakeControls controls;
    FakePump pump;
    web::CookieJar cookies;
    web::WebEnv web{pump, controls, cookies};
    sources::ItemList items;
    QueryState state;
    CellColourTable colours;
    sources::ShopFeedLoader loader{controls, pump, items, sim.ShopBase(), sources::TimedFeedFetch(web)};
    RankQuery query{RankEnv{controls, pump, items, state, colours, WebListingTransport(web), sim.HostPort(),
                            [](std::chrono::milliseconds, std::function<void()>) {}}};

    explicit SimHarness(std::vector<std::string> options = {}) : sim(std::move(options)) {
        controls.SetText("MainWindow", "编辑框_最多页", Text("2"));
        controls.AddComboEntry("MainWindow", "组合框_大分类", "衣服"_gbk);
        controls.SelectComboEntry("MainWindow", "组合框_大分类", 0);
    }
};

TEST(SimRunTest, DemoShopLoadsAndTwoPagesFindEveryPlacedItem) {
    SimHarness h;
    if (!h.sim.running())
        GTEST_SKIP() << "rankmoth-sim is not built";
    h.controls.SetText("MainWindow", "编辑框_优店ID", Text("demo"));
    h.loader.Run();
    ASSERT_EQ(h.items.ShopItemCount, 45);
    EXPECT_EQ(h.items.ShopItemIds[0], Text("52000101"));
    EXPECT_EQ(h.items.ShopItemTitles[2], "宽松半身裙 款号03"_gbk);
    EXPECT_EQ(h.controls.StatusText("MainWindow", "状态条1", 1),
              " 宝贝ID加载完成，总共加载了45个宝贝ID。现在可以查询喽~~"_gbk);

    h.query.RunRankQuery();
    const auto rows = h.controls.Control("MainWindow", "超级列表框1").rows;
    // Rows on page 2 prove the token chain of both pages: a slice whose token the sim did not hand out
    // gets an error body and no titles.
    const std::vector<std::pair<std::string, Text>> expected = {
        {"***00103", "在第1页靠上面的位置发现了此宝贝"_gbk}, {"***00107", "在第1页靠上面的位置发现了此宝贝"_gbk},
        {"***00112", "在第1页靠中间的位置发现了此宝贝"_gbk}, {"***00107", "在第1页靠下面的位置发现了此宝贝"_gbk},
        {"***00121", "在第2页靠上面的位置发现了此宝贝"_gbk}, {"***00140", "在第2页靠下面的位置发现了此宝贝"_gbk},
    };
    ASSERT_EQ(rows.size(), expected.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        EXPECT_EQ(rows[r][0], TextOfInteger(static_cast<long long>(r) + 1));
        EXPECT_EQ(rows[r][1], Text(expected[r].first)) << r;
        EXPECT_EQ(rows[r][2], expected[r].second) << r;
        EXPECT_EQ(rows[r][3], "潮流"_gbk);
    }
    EXPECT_FALSE(h.state.running);
    EXPECT_EQ(h.state.pageNumber, 2);
}

TEST(SimRunTest, ListingEndsOnItsLastPageAndUnknownShopFailsAfterThreePacks) {
    const auto catalogue = std::filesystem::temp_directory_path() /
                           (std::string("rankmoth-sim-short-") + std::to_string(::getpid()) + ".catalogue");
    // The second title carries a quote and a backslash, which the feed and the listing both escape.
    std::ofstream(catalogue) << "pages 3\nshop tiny 2\nitem tiny 9001 晴天 短袖\nplace clothing pop 3 10 9001\n"
                                "item tiny 9002 5\"寸 A\\n/B款\nplace clothing pop 2 4 9002\n";
    SimHarness h({"--catalogue=" + catalogue.string()});
    if (!h.sim.running())
        GTEST_SKIP() << "rankmoth-sim is not built";
    h.controls.SetText("MainWindow", "编辑框_优店ID", Text("nobody"));
    h.loader.Run();
    EXPECT_EQ(h.items.ShopItemCount, 0);
    EXPECT_EQ(h.controls.StatusText("MainWindow", "状态条1", 1), " 宝贝ID加载失败了，您再重新加载试试哦"_gbk);

    h.controls.SetText("MainWindow", "编辑框_优店ID", Text("tiny"));
    h.loader.Run();
    ASSERT_EQ(h.items.ShopItemCount, 2);
    EXPECT_EQ(h.items.ShopItemTitles[1], "5\"寸 A\\n/B款"_gbk);
    h.controls.SetText("MainWindow", "编辑框_最多页", Text("100"));
    h.query.RunRankQuery();
    EXPECT_EQ(h.state.pageNumber, 3);
    const auto rows = h.controls.Control("MainWindow", "超级列表框1").rows;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][2], "在第2页靠中间的位置发现了此宝贝"_gbk);
    EXPECT_EQ(rows[1][2], "在第3页靠下面的位置发现了此宝贝"_gbk);
    std::filesystem::remove(catalogue);
}

TEST(SimRunTest, UnreachableListingHostWalksToTheLimitWithoutRows) {
    FakeControls controls;
    FakePump pump;
    web::CookieJar cookies;
    web::WebEnv web{pump, controls, cookies};
    sources::ItemList items;
    items.ShopItemIds = {Text("52000101")};
    items.ShopItemTitles = {Text("t")};
    items.ShopItemCount = 1;
    QueryState state;
    CellColourTable colours;
    // A port that was free a moment ago: every request fails at once.
    std::string deadHost;
    {
        SimProcess gone;
        if (!gone.running())
            GTEST_SKIP() << "rankmoth-sim is not built";
        deadHost = gone.HostPort();
    }
    RankQuery query{RankEnv{controls, pump, items, state, colours, WebListingTransport(web), deadHost,
                            [](std::chrono::milliseconds, std::function<void()>) {}}};
    controls.SetText("MainWindow", "编辑框_最多页", Text("3"));
    query.RunRankQuery();
    EXPECT_EQ(state.pageNumber, 3);
    EXPECT_FALSE(state.running);
    EXPECT_TRUE(controls.Control("MainWindow", "超级列表框1").rows.empty());
    EXPECT_EQ(pump.waits(), 30);
}

} // namespace
} // namespace rankmoth::rank
