// The loader through the real timed fetch against loopback servers: the request on the wire, the UTF-8 and
// escape decoding of the answer, and shops that never answer.
#include "sources/shop_feed.h"
#include "tests/support/fake_controls.h"
#include "tests/support/fake_pump.h"
#include "tests/support/raw_http_server.h"
#include "web/cookie_jar.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <set>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace rankmoth::sources {
namespace {

using namespace std::chrono_literals;
using testing::FakeControls;
using testing::FakePump;
using testing::RawHttpServer;
using testing::RawReply;
using testing::RawRequest;

struct LoopbackHarness {
    FakeControls controls;
    FakePump pump;
    web::CookieJar cookies;
    ItemList items;
    std::vector<FeedOutcome> finished;

    void Load(const std::string& shopBase, const char* shopId) {
        ShopFeedLoader loader(controls, pump, items, shopBase, TimedFeedFetch(web::WebEnv{pump, controls, cookies}));
        loader.loadFinished = [this](const FeedOutcome& outcome) { finished.push_back(outcome); };
        controls.SetText("MainWindow", "编辑框_优店ID", Text(shopId));
        loader.Run();
    }
    Text Status() { return controls.StatusText("MainWindow", "状态条1", 1); }
};

// A port on which nothing listens: bound, never listened on, closed.
int DeadPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t size = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size);
    ::close(fd);
    return ntohs(addr.sin_port);
}

TEST(ShopFeedLoopbackTest, PostsEachPackAndDecodesUtf8AndEscapes) {
    std::string base;
    RawHttpServer server([&](const RawRequest& request) {
        const bool first = request.body.find("pack=1&") != std::string::npos;
        // Escaped quotes and slashes, one title in UTF-8 and one as \u escapes, as the shop host writes them.
        std::string html = "{\"html\":\"<a class=\\\"creply\\\" href=\\\"" + base + "detail\\/" +
                           (first ? "111" : "222") + "\\\" target=\\\"_blank\\\"><div class=\\\"title\\\">" +
                           (first ? "春装 外套" : "\\u590f\\u88c5 T\\u6064") + "<\\/div><\\/a>\"";
        html += first ? "}" : ",\"data\":{\"isEnd\":true}}";
        return RawReply::Http(200, html, "Content-Type: application/json; charset=utf-8\r\n");
    });
    base = server.BaseUrl() + "/";
    LoopbackHarness h;
    h.Load(base, "shop7");

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].requestLine, "POST /shop7/index/feeds HTTP/1.1");
    EXPECT_EQ(requests[1].body, "page=1&pack=2&order=sale&categoryId=&nid=");
    EXPECT_EQ(requests[0].Header("Referer"), base + "shop7");
    EXPECT_EQ(h.items.ShopItemIds, (std::vector<Text>{Text("111"), Text("222")}));
    EXPECT_EQ(h.items.ShopItemTitles, (std::vector<Text>{"春装 外套"_gbk, "夏装 T恤"_gbk}));
    EXPECT_EQ(h.Status(), " 宝贝ID加载完成，总共加载了2个宝贝ID。现在可以查询喽~~"_gbk);
}

int PackOf(const RawRequest& request) {
    const auto at = request.body.find("pack=");
    return at == std::string::npos ? 0 : std::atoi(request.body.c_str() + at + 5);
}

// A pack as the shop host writes it: item links inside a JSON string, Chinese titles as UTF-8.
std::string FeedPack(const std::string& base, int first, int count, bool end) {
    std::string escapedBase;
    for (const char c : base)
        escapedBase += c == '/' ? std::string("\\/") : std::string(1, c);
    std::string html = "{\"html\":\"";
    for (int k = first; k < first + count; ++k)
        html += "<li><a class=\\\"creply\\\" href=\\\"" + escapedBase + "detail\\/" + std::to_string(k) +
                "\\\" target=\\\"_blank\\\"><div class=\\\"title\\\">连衣裙 " + std::to_string(k) +
                "<\\/div><\\/a><\\/li>";
    return html + (end ? "\",\"data\":{\"isEnd\":true}}" : "\"}");
}

TEST(ShopFeedLoopbackTest, FeedsThatRepeatOrNeverEndListEachItemOnceAndEndIncomplete) {
    const struct {
        const char* what;
        std::function<std::string(const std::string& base, int pack)> answer;
        std::size_t requests;
        int count;
        const char* reason;
    } cases[] = {
        {"every pack the same items", [](const std::string& base, int) { return FeedPack(base, 1, 20, false); }, 4, 20,
         "3 feed packs in a row added no new item"},
        // Each pack brings ten new items and five of the pack before.
        {"new items forever",
         [](const std::string& base, int pack) { return FeedPack(base, 10 * pack - 5, 15, false); }, 500, 5005,
         "the feed did not end within 500 packs (5005 items)"},
    };
    for (const auto& c : cases) {
        std::string base;
        RawHttpServer server([&](const RawRequest& request) {
            return RawReply::Http(200, c.answer(base, PackOf(request)),
                                  "Content-Type: application/json; charset=utf-8\r\n");
        });
        base = server.BaseUrl() + "/";
        LoopbackHarness h;
        h.Load(base, "shop7");
        EXPECT_EQ(server.Requests().size(), c.requests) << c.what;
        EXPECT_EQ(h.items.ShopItemCount, c.count) << c.what;
        EXPECT_EQ(std::set<Text>(h.items.ShopItemIds.begin(), h.items.ShopItemIds.end()).size(),
                  h.items.ShopItemIds.size())
            << c.what;
        EXPECT_EQ(h.Status(),
                  " 宝贝ID加载完成，总共加载了"_gbk + TextOfInteger(c.count) + "个宝贝ID。现在可以查询喽~~"_gbk)
            << c.what;
        ASSERT_EQ(h.finished.size(), 1u) << c.what;
        EXPECT_TRUE(h.finished[0].incomplete) << c.what;
        EXPECT_EQ(h.finished[0].incompleteReason, c.reason) << c.what;
    }
}

TEST(ShopFeedLoopbackTest, OnePackOfTwentyThousandItemsIsReadWhole) {
    std::string base;
    RawHttpServer server([&](const RawRequest&) {
        return RawReply::Http(200, FeedPack(base, 1, 20000, true), "Content-Type: application/json; charset=utf-8\r\n");
    });
    base = server.BaseUrl() + "/";
    LoopbackHarness h;
    h.Load(base, "big");
    ASSERT_EQ(h.items.ShopItemCount, 20000);
    EXPECT_EQ(h.items.ShopItemIds.front(), Text("1"));
    EXPECT_EQ(h.items.ShopItemIds.back(), Text("20000"));
    EXPECT_EQ(h.items.ShopItemTitles.back(), "连衣裙 20000"_gbk);
    ASSERT_EQ(h.finished.size(), 1u);
    EXPECT_FALSE(h.finished[0].incomplete);
}

TEST(ShopFeedLoopbackTest, UnreachableShopHostEndsWithTheFailureText) {
    LoopbackHarness h;
    h.Load(std::string("http://127.0.0.1:") + std::to_string(DeadPort()) + "/", "shop7");
    EXPECT_EQ(h.items.ShopItemCount, 0);
    EXPECT_EQ(h.controls.GetText("MainWindow", "标签_宝贝ID个数"), Text("0"));
    EXPECT_EQ(h.Status(), " 宝贝ID加载失败了，您再重新加载试试哦"_gbk);
}

TEST(ShopFeedLoopbackTest, ShopThatNeverAnswersTimesOutThreeTimesAndFails) {
    RawHttpServer server([](const RawRequest&) { return RawReply::Stall(); });
    LoopbackHarness h;
    h.pump.realWaitCap = 50ms; // the 60 s time-out passes on the virtual clock
    h.Load(server.BaseUrl() + "/", "shop7");
    EXPECT_TRUE(server.WaitForRequests(3, 5s));
    EXPECT_EQ(h.items.ShopItemCount, 0);
    EXPECT_EQ(h.Status(), " 宝贝ID加载失败了，您再重新加载试试哦"_gbk);
}

} // namespace
} // namespace rankmoth::sources
