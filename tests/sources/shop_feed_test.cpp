#include "sources/shop_feed.h"
#include "tests/support/fake_controls.h"
#include "tests/support/fake_pump.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace rankmoth::sources {
namespace {

using namespace std::chrono_literals;
using testing::FakeControls;
using testing::FakePump;

const std::string kBase = "http://shop.test/";

std::string Link(const std::string& id, const std::string& titleBlock) {
    return "<li><a class=\"creply\" href=\"" + kBase + "detail/" + id + "\" target=\"_blank\">" + titleBlock +
           "</a></li>";
}
std::string Item(const std::string& id, const std::string& title) {
    return Link(id, "<div class=\"title\">" + title + "</div>");
}
std::string EndMarker() {
    return "\"data\":{\"isEnd\":true}";
}

TEST(ShopFeedTest, RequestOfAPack) {
    EXPECT_EQ(FeedAddress(kBase, Text("demo")), Text("http://shop.test/demo/index/feeds"));
    EXPECT_EQ(FeedBody(1), "page=1&pack=1&order=sale&categoryId=&nid=");
    EXPECT_EQ(FeedBody(12), "page=1&pack=12&order=sale&categoryId=&nid=");
    EXPECT_EQ(FeedRefererHeader(kBase, Text("demo")), Text("Referer: http://shop.test/demo\r\n"));
}

TEST(ShopFeedTest, ScanCutsEveryLinkAndNeverLendsATitleToTheLinkBeforeIt) {
    const struct {
        std::string page;
        std::vector<std::pair<std::string, std::string>> steps;
    } cases[] = {
        {Item("1", "a") + Item("2", "b"), {{"1", "a"}, {"2", "b"}}},
        {"no links here", {{"", ""}}},
        {"", {{"", ""}}},
        // A link without its title block: it gets no title, and the next link keeps its own.
        {Link("1", "<span>x</span>") + Item("2", "b"), {{"1", ""}, {"2", "b"}}},
        {Item("1", "") + Item("2", "b"), {{"1", ""}, {"2", "b"}}},
        // A link cut short: no ID end before the next link.
        {"<a class=\"creply\" href=\"" + kBase + "detail/77" + Item("2", "b"), {{"", ""}, {"2", "b"}}},
        // Title start without its end.
        {Link("1", "<div class=\"title\">open"), {{"1", ""}}},
        // The marker is case-sensitive and carries the shop base.
        {"<a class=\"CREPLY\" href=\"" + kBase + "detail/1\" target=\"_blank\"><div class=\"title\">t</div>",
         {{"", ""}}},
        {"<a class=\"creply\" href=\"http://elsewhere.test/detail/1\" target=\"x\"><div class=\"title\">t</div>",
         {{"", ""}}},
        // Taken as they stand: no trimming, no entity decoding, duplicates kept.
        {Item(" 9 ", " a&amp;b ") + Item(" 9 ", " a&amp;b "), {{" 9 ", " a&amp;b "}, {" 9 ", " a&amp;b "}}},
    };
    for (const auto& c : cases) {
        const auto steps = ScanFeedPage(Text(c.page), kBase);
        ASSERT_EQ(steps.size(), c.steps.size()) << c.page;
        for (std::size_t k = 0; k < steps.size(); ++k) {
            EXPECT_EQ(steps[k].id, Text(c.steps[k].first)) << c.page;
            EXPECT_EQ(steps[k].title, Text(c.steps[k].second)) << c.page;
        }
    }
}

TEST(ShopFeedTest, EndMarkerIsExact) {
    EXPECT_TRUE(IsFeedEnd(Text("{" + EndMarker() + "}")));
    EXPECT_FALSE(IsFeedEnd(Text("\"DATA\":{\"isEnd\":true}")));
    EXPECT_FALSE(IsFeedEnd(Text("\"data\": {\"isEnd\":true}")));
    EXPECT_FALSE(IsFeedEnd(Text{}));
}

// A shop in memory: pack N answers packs[N-1], or `beyond` past the last one.
struct FakeShop {
    std::vector<std::string> packs;
    std::string beyond = EndMarker();
    struct Request {
        std::string url, headers, body;
    };
    std::vector<Request> requests;
    std::function<void()> onRequest;
    // When set, answers every pack past the last one instead of `beyond`.
    std::function<std::string(std::size_t pack)> endless;

    Bytes Fetch(Text& url, const Text& headers, const Bytes& body) {
        requests.push_back({url.bytes(), headers.bytes(), body});
        if (onRequest)
            onRequest();
        const std::size_t n = requests.size();
        return n <= packs.size() ? packs[n - 1] : endless ? endless(n) : beyond;
    }
};

struct LoaderHarness {
    FakeControls controls;
    FakePump pump;
    ItemList items;
    FakeShop shop;
    ShopFeedLoader loader{controls, pump, items, kBase,
                          FeedFetchOfBodies([this](Text& url, const Text& headers, const Bytes& body) {
                              return shop.Fetch(url, headers, body);
                          })};

    void SetShopId(const char* id) { controls.SetText("MainWindow", "编辑框_优店ID", Text::FromUtf8(id)); }
    Text Status() { return controls.StatusText("MainWindow", "状态条1", 1); }
    Text CountLabel() { return controls.GetText("MainWindow", "标签_宝贝ID个数"); }
};

std::string PackOf(int first, int count) {
    std::string page = "{\"html\":\"";
    for (int k = first; k < first + count; ++k)
        page += Item(std::to_string(1000 + k), std::string("标题") + std::to_string(k));
    return Text::FromUtf8(page + "\"}").bytes();
}

TEST(ShopFeedLoaderTest, ThreePacksOfTwentyThenAnEndPackGiveSixty) {
    LoaderHarness h;
    h.SetShopId(" demo ");
    h.shop.packs = {PackOf(1, 20), PackOf(21, 20), PackOf(41, 20), EndMarker()};
    h.loader.Run();

    ASSERT_EQ(h.shop.requests.size(), 4u);
    EXPECT_EQ(h.shop.requests[0].url, "http://shop.test/demo/index/feeds");
    EXPECT_EQ(h.shop.requests[2].body, "page=1&pack=3&order=sale&categoryId=&nid=");
    EXPECT_EQ(h.shop.requests[3].headers, "Referer: http://shop.test/demo\r\n");
    EXPECT_EQ(h.items.ShopItemCount, 60);
    EXPECT_EQ(h.items.ShopItemIds[59], Text("1060"));
    EXPECT_EQ(h.items.ShopItemTitles[0], "标题1"_gbk);
    EXPECT_EQ(h.CountLabel(), Text("60"));
    EXPECT_EQ(h.Status(), " 宝贝ID加载完成，总共加载了60个宝贝ID。现在可以查询喽~~"_gbk);
    // Two pauses per item and one per pack (the end pack has no link, so one scan step of its own).
    EXPECT_EQ(h.pump.waits(), 60 + 1 + 4);
    std::vector<Text> progress;
    for (const auto& [control, text] : h.controls.TextHistory()) {
        if (control == "状态条1#1")
            progress.push_back(text);
    }
    ASSERT_EQ(progress.size(), 61u);
    EXPECT_EQ(progress[0], " 正在加载宝贝ID -> 加载进度: 1"_gbk);
    EXPECT_EQ(progress[59], " 正在加载宝贝ID -> 加载进度: 60"_gbk);
}

TEST(ShopFeedLoaderTest, ShopIdOfSpacesIsRefusedAndNothingChanges) {
    for (const char* id : {"", "   ", "　 　"}) {
        LoaderHarness h;
        h.items.ShopItemIds = {Text("1")};
        h.items.ShopItemTitles = {Text("t")};
        h.items.ShopItemCount = 1;
        h.controls.AddRow("MainWindow", "超级列表框1", Text("1"));
        h.SetShopId(id);
        h.loader.Run();
        ASSERT_EQ(h.controls.MessageBoxes().size(), 1u);
        EXPECT_EQ(h.controls.MessageBoxes()[0].text, "请填写优店ID"_gbk);
        EXPECT_EQ(h.controls.MessageBoxes()[0].style, 48);
        EXPECT_EQ(h.controls.MessageBoxes()[0].caption, "提示"_gbk);
        EXPECT_TRUE(h.shop.requests.empty());
        EXPECT_EQ(h.items.ShopItemCount, 1);
        EXPECT_EQ(h.controls.Control("MainWindow", "超级列表框1").rows.size(), 1u);
    }
}

TEST(ShopFeedLoaderTest, FirstPackWithEndMarkerAndNoItemsFails) {
    LoaderHarness h;
    h.SetShopId("empty");
    h.shop.packs = {"{\"html\":\"\"," + EndMarker() + "}"};
    h.loader.Run();
    EXPECT_EQ(h.shop.requests.size(), 1u);
    EXPECT_EQ(h.items.ShopItemCount, 0);
    EXPECT_EQ(h.CountLabel(), Text("0"));
    EXPECT_EQ(h.Status(), " 宝贝ID加载失败了，您再重新加载试试哦"_gbk);
}

TEST(ShopFeedLoaderTest, BarrenPacksEndTheLoadAfterThreeInARow) {
    const struct {
        const char* what;
        std::vector<std::string> packs;
        std::string beyond;
        std::size_t requests;
        int count;
    } cases[] = {
        {"unreachable host", {}, "", 3, 0},
        {"time-outs",
         {},
         "超时返回，指定网站不能访问，或者你的网络出现问题，你可以把参数中的＂超时返回＂的值设置长一些。"_gbk.bytes(),
         3,
         0},
        {"pages without titles", {}, Link("1", "") + Link("2", "<div class=\"title\"></div>"), 3, 0},
        {"not a feed", {}, "<html>404 shop not found</html>", 3, 0},
        // A barren pack between good ones does not count towards the three.
        {"gaps", {PackOf(1, 2), "", PackOf(3, 2), "", ""}, "", 6, 4},
    };
    for (const auto& c : cases) {
        LoaderHarness h;
        h.SetShopId("x");
        h.shop.packs = c.packs;
        h.shop.beyond = c.beyond;
        h.loader.Run();
        EXPECT_EQ(h.shop.requests.size(), c.requests) << c.what;
        EXPECT_EQ(h.items.ShopItemCount, c.count) << c.what;
        EXPECT_EQ(h.Status(), c.count ? " 宝贝ID加载完成，总共加载了4个宝贝ID。现在可以查询喽~~"_gbk
                                      : " 宝贝ID加载失败了，您再重新加载试试哦"_gbk)
            << c.what;
    }
}

TEST(ShopFeedLoaderTest, EndlessFeedStopsAtFiveHundredPacks) {
    // A new item in every pack: a feed that repeats its items instead ends after its barren packs.
    LoaderHarness h;
    h.SetShopId("x");
    h.shop.endless = [](std::size_t pack) { return PackOf(static_cast<int>(pack), 1); };
    h.loader.Run();
    EXPECT_EQ(h.shop.requests.size(), 500u);
    EXPECT_EQ(h.items.ShopItemCount, 500);
}

TEST(ShopFeedLoaderTest, SecondLoadReplacesTheListsAndClearsTheResultsFirst) {
    LoaderHarness h;
    h.SetShopId("a");
    h.shop.packs = {PackOf(1, 3) + EndMarker()};
    h.loader.Run();
    ASSERT_EQ(h.items.ShopItemCount, 3);
    h.controls.AddRow("MainWindow", "超级列表框1", Text("1"));

    h.shop.requests.clear();
    h.shop.packs = {PackOf(7, 2) + EndMarker()};
    h.shop.onRequest = [&] {
        EXPECT_TRUE(h.controls.Control("MainWindow", "超级列表框1").rows.empty());
        EXPECT_TRUE(h.items.ShopItemIds.empty());
        EXPECT_EQ(h.items.ShopItemCount, 3); // the count follows only at the end
    };
    h.loader.Run();
    EXPECT_EQ(h.items.ShopItemCount, 2);
    EXPECT_EQ(h.items.ShopItemIds, (std::vector<Text>{Text("1007"), Text("1008")}));
}

TEST(ShopFeedLoaderTest, ALoadStartedDuringALoadSupersedesIt) {
    LoaderHarness h;
    h.SetShopId("first");
    h.shop.packs = {PackOf(1, 10), PackOf(11, 10) + EndMarker(), PackOf(50, 2) + EndMarker()};
    // Half-way through the first pack the user types another shop and clicks again.
    h.pump.PostAt(1s, [&] {
        h.SetShopId("second");
        h.shop.packs[1] = PackOf(50, 2) + EndMarker();
        h.loader.Run();
    });
    h.loader.Run();
    EXPECT_EQ(h.shop.requests.size(), 2u);
    EXPECT_EQ(h.shop.requests[1].url, "http://shop.test/second/index/feeds");
    EXPECT_EQ(h.items.ShopItemIds, (std::vector<Text>{Text("1050"), Text("1051")}));
    EXPECT_EQ(h.items.ShopItemCount, 2);
    EXPECT_EQ(h.Status(), " 宝贝ID加载完成，总共加载了2个宝贝ID。现在可以查询喽~~"_gbk);
    EXPECT_FALSE(h.loader.loading());
}

TEST(ItemListTest, SnapshotIsBoundedByCountAndListSizes) {
    ItemList items;
    EXPECT_TRUE(items.Snapshot().empty());
    items.ShopItemIds = {Text("1"), Text("2"), Text("3")};
    items.ShopItemTitles = {Text("a"), Text("b")};
    items.ShopItemCount = 3;
    EXPECT_EQ(items.Snapshot().size(), 2u);
    items.ShopItemCount = 1;
    ASSERT_EQ(items.Snapshot().size(), 1u);
    EXPECT_EQ(items.Snapshot()[0].title, Text("a"));
    items.ShopItemCount = -4;
    EXPECT_TRUE(items.Snapshot().empty());
}

} // namespace
} // namespace rankmoth::sources
