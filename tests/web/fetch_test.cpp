#include "web/fetch.h"

#include "tests/support/fake_controls.h"
#include "tests/support/fake_pump.h"
#include "tests/support/poll_until.h"
#include "tests/support/raw_http_server.h"
#include "web/cookie_jar.h"
#include "web/request.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace rankmoth::web {
namespace {

using testing::RawHttpServer;
using testing::RawReply;
using testing::RawRequest;
using namespace std::chrono_literals;

const std::string kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727; "
                           ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)";
const std::string kAccept = "image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
                            "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
                            "application/msword, */*";

struct FetchFixture : ::testing::Test {
    ~FetchFixture() override {
        EXPECT_TRUE(testing::PollUntil([] { return FetchWorkersRunning() == 0; }, 5s));
    }
    testing::FakePump pump;
    testing::FakeControls controls;
    CookieJar jar;
    WebEnv env{pump, controls, jar};
};

TEST_F(FetchFixture, GetSendsTheWorkerDefaults) {
    RawHttpServer server([](const RawRequest&) { return RawReply::Http(200, "feed"); });
    Text url(server.HostPort() + "/index/feeds?id=7");
    EXPECT_EQ(TimedFetch(env, url), "feed");
    EXPECT_EQ(url.bytes(), server.BaseUrl() + "/index/feeds?id=7");
    ASSERT_EQ(server.Requests().size(), 1u);
    // clang-format off
    EXPECT_EQ(server.Requests()[0].raw, "GET /index/feeds?id=7 HTTP/1.1\r\n"
                                        "Host: " + server.HostPort() + "\r\n"
                                        "User-Agent: " + kAgent + "\r\n"
                                        "Accept: " + kAccept + "\r\n"
                                        "Referer: " + server.BaseUrl() + "/index/feeds?id=7\r\n"
                                        "Accept-Language: zh-cn\r\n"
                                        "\r\n");
    // clang-format on
}

TEST_F(FetchFixture, CallerHeadersSteerTheDefaults) {
    RawHttpServer server([](const RawRequest&) { return RawReply::Http(200, "x"); });
    struct Case {
        const char* headers;
        const char* userAgent;
        int acceptLines;
        const char* referer;
    } cases[] = {
        {"RefererNo\r\n", kAgent.c_str(), 1, ""},
        {"X-Pad: 1\r\nRefererNo", kAgent.c_str(), 1, ""},
        {"Accept-Language: en\r\n", kAgent.c_str(), 0, "self"},
        {"User-Agent:  Agent/9 \r\n", "Agent/9", 1, "self"},
        {"X-User-Agent: Agent/7\r\n", "Agent/7", 1, "self"},
        {"referer: http://shop.example/\r\n", kAgent.c_str(), 1, "http://shop.example/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.headers);
        Text url(server.BaseUrl() + "/h");
        TimedFetch(env, url, 0, {}, Text(c.headers));
    }
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), std::size(cases));
    for (std::size_t i = 0; i < requests.size(); ++i) {
        SCOPED_TRACE(cases[i].headers);
        const RawRequest& r = requests[i];
        EXPECT_EQ(r.Header("User-Agent"), cases[i].userAgent);
        EXPECT_EQ(r.HeaderCount("User-Agent"), 1);
        EXPECT_EQ(r.HeaderCount("Accept"), cases[i].acceptLines);
        EXPECT_EQ(r.Header("Referer"),
                  std::string(cases[i].referer) == "self" ? server.BaseUrl() + "/h" : std::string(cases[i].referer));
        EXPECT_EQ(r.raw.find("RefererNo"), std::string::npos);
    }
}

TEST_F(FetchFixture, PostReturnsConvertedBodyHeadersAndCookieList) {
    RawHttpServer server([](const RawRequest&) {
        return RawReply::Http(200, "宝贝标题", "Set-Cookie: a=b; path=/\r\nSet-Cookie: c=d\r\n");
    });
    Text url(server.BaseUrl() + "/index/feeds");
    Text responseHeaders;
    Text returnedCookies;
    const Bytes body = TimedFetch(env, url, 1, {}, Text("Referer: http://shop.example/\r\n"), "pack=2&size=20", {},
                                  std::nullopt, &responseHeaders, 1, &returnedCookies);

    EXPECT_EQ(body, "宝贝标题"_gbk.bytes());
    EXPECT_EQ(returnedCookies, Text("a=b;;"));
    EXPECT_TRUE(responseHeaders.bytes().starts_with("HTTP/1.1 200 OK\r\nSet-Cookie: a=b; path=/\r\n"));
    EXPECT_EQ(jar.DataOf(Text("127.0.0.1"), Text("a")), Text("b; path=/"));
    EXPECT_EQ(jar.DataOf(Text("127.0.0.1"), Text("c")), Text("d"));
    ASSERT_EQ(server.Requests().size(), 1u);
    const RawRequest r = server.Requests()[0];
    EXPECT_EQ(r.requestLine, "POST /index/feeds HTTP/1.1");
    EXPECT_EQ(r.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(r.Header("Content-Length"), "14");
    EXPECT_EQ(r.body, "pack=2&size=20");
}

TEST_F(FetchFixture, AGivenCookieTextReplacesTheStoredCookies) {
    RawHttpServer server([](const RawRequest&) { return RawReply::Http(200, "x", "Set-Cookie: fresh=3\r\n"); });
    jar.Store(Text("127.0.0.1"), Text("stored"), Text("1"));
    Text url(server.BaseUrl() + "/");
    TimedFetch(env, url, 0, {}, {}, {}, Text("own=2"));
    TimedFetch(env, url);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].Header("Cookie"), "own=2");
    EXPECT_EQ(requests[0].HeaderCount("Cookie"), 1);
    EXPECT_EQ(requests[1].Header("Cookie"), "stored=1; fresh=3");
}

TEST_F(FetchFixture, UnknownMethodIsAGetAndRedirectsCanBeRefused) {
    RawHttpServer server([](const RawRequest& r) {
        if (r.requestLine.find("/old") != std::string::npos)
            return RawReply::Http(302, "moved", "Location: /new\r\n");
        return RawReply::Http(200, "new");
    });
    Text url(server.BaseUrl() + "/old");
    EXPECT_EQ(TimedFetch(env, url, 5, {}, {}, "ignored"), "new");
    Text headers;
    EXPECT_EQ(TimedFetch(env, url, 0, {}, {}, {}, {}, std::nullopt, &headers, 0, nullptr, false), "moved");
    EXPECT_TRUE(headers.bytes().starts_with("HTTP/1.1 302"));

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].requestLine, "GET /old HTTP/1.1");
    EXPECT_EQ(requests[0].body, "");
    EXPECT_EQ(requests[1].requestLine, "GET /new HTTP/1.1");
    EXPECT_EQ(requests[2].requestLine, "GET /old HTTP/1.1");
    EXPECT_TRUE(controls.MessageBoxes().empty());
}

TEST_F(FetchFixture, TimeOutsReturnTheNoticeAndLeaveTheOutParametersAlone) {
    RawHttpServer server([](const RawRequest&) { return RawReply::Stall(); });
    pump.realWaitCap = 30ms;
    for (const int seconds : {0, 3}) {
        SCOPED_TRACE(seconds);
        Text url(server.BaseUrl() + "/never");
        Text headers("before");
        Text cookies("before");
        const auto start = pump.Now();
        const Bytes body = TimedFetch(env, url, 0, {}, {}, {}, {}, seconds, &headers, 1, &cookies);
        EXPECT_EQ(body, TimeoutText().bytes());
        EXPECT_EQ(headers, Text("before"));
        EXPECT_EQ(cookies, Text("before"));
        EXPECT_GE(pump.Now() - start, std::chrono::seconds(seconds));
    }
    EXPECT_EQ(TimeoutText(),
              "超时返回，指定网站不能访问，或者你的网络出现问题，你可以把参数中的＂超时返回＂的值设置长一些。"_gbk);
    // The abandoned workers let go of their connections on their own.
    EXPECT_TRUE(testing::PollUntil([] { return FetchWorkersRunning() == 0; }, 5s));
    EXPECT_TRUE(server.WaitForNoOpenConnections(5s));
}

TEST(FetchAbandon, AWorkerAbandonedMidBodyNeverTouchesTheCallersState) {
    const std::string body(64 * 1024, 'b');
    const std::string response =
        "HTTP/1.1 200 OK\r\nSet-Cookie: late=1\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
    RawHttpServer server([&](const RawRequest&) { return RawReply::Trickle(response, 256, 5ms); });
    {
        testing::FakePump pump;
        pump.realWaitCap = 50ms;
        testing::FakeControls controls;
        auto jar = std::make_unique<CookieJar>();
        WebEnv env{pump, controls, *jar};
        Text url(server.BaseUrl() + "/big");
        Text headers;
        EXPECT_EQ(TimedFetch(env, url, 0, {}, {}, {}, {}, 1, &headers), TimeoutText().bytes());
        EXPECT_TRUE(server.WaitForRequests(1, 5s));
        jar.reset();
    }
    EXPECT_TRUE(testing::PollUntil([] { return FetchWorkersRunning() == 0; }, 5s));
    EXPECT_TRUE(server.WaitForNoOpenConnections(5s));
}

TEST_F(FetchFixture, EmptyAddressesStartNoWorker) {
    RawHttpServer server([](const RawRequest&) { return RawReply::Http(200, "x"); });
    for (Text url : {Text(), Text("   "), " 　 "_gbk}) {
        const Text before = url;
        EXPECT_TRUE(TimedFetch(env, url).empty());
        EXPECT_EQ(url, before);
    }
    EXPECT_EQ(FetchWorkersRunning(), 0);
    EXPECT_FALSE(server.WaitForRequests(1, 50ms));
}

TEST_F(FetchFixture, AnHttpsMarkAnywhereInTheAddressMeansTlsOnPort443) {
    RawHttpServer server([](const RawRequest&) { return RawReply::Http(200, "plain"); });
    Text url(server.BaseUrl() + "/go?to=HTTPS://elsewhere");
    Text headers;
    EXPECT_TRUE(TimedFetch(env, url, 0, {}, {}, {}, {}, 10, &headers).empty());
    EXPECT_EQ(headers, Text(std::string(2048, ' ')));
    EXPECT_FALSE(server.WaitForRequests(1, 50ms));
}

// Wakes up every few milliseconds as a window thread does when its events arrive.
class WakingPump : public base::EventPump {
public:
    void PumpingWait(std::chrono::microseconds duration) override { std::this_thread::sleep_for(duration); }
    void DispatchPending() override { ++dispatches; }
    std::chrono::milliseconds Now() override { return plain.Now(); }
    void WaitForDoneOrEvents(const base::DoneSignal& done, std::chrono::milliseconds limit) override {
        done.WaitFor(std::min(limit, std::chrono::milliseconds(5)));
    }
    std::atomic<int> dispatches{0};
    base::PlainEventPump plain;
};

TEST(FetchWait, EventsAreDispatchedAtEveryWakeUpWhileTheWorkerWaitsForASlowServer) {
    RawHttpServer server([](const RawRequest&) {
        return RawReply::Trickle("HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nslowly", 8, 25ms);
    });
    WakingPump pump;
    testing::FakeControls controls;
    CookieJar jar;
    WebEnv env{pump, controls, jar};
    Text url(server.BaseUrl() + "/");
    EXPECT_EQ(TimedFetch(env, url, 0, {}, {}, {}, {}, 20), "slowly");
    // Six pieces 25 ms apart: the 5 ms wake-ups dispatch many times before the page is in.
    EXPECT_GE(pump.dispatches.load(), 10);
}

TEST(FetchCookies, WorkersOnManyThreadsShareOneStoreWithTheWindowThread) {
    RawHttpServer server([](const RawRequest& r) {
        const std::string path = r.requestLine.substr(4, r.requestLine.find(' ', 4) - 4);
        if (path.starts_with("/set/"))
            return RawReply::Http(200, "set", "Set-Cookie: " + path.substr(5) + "=v; path=/\r\n");
        return RawReply::Http(200, "page");
    });
    testing::FakeControls controls;
    CookieJar jar;
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            base::PlainEventPump pump;
            WebEnv env{pump, controls, jar};
            for (int round = 0; round < 3; ++round) {
                Text url(server.BaseUrl() + "/set/t" + std::to_string(i) + "r" + std::to_string(round));
                TimedFetch(env, url, 0, {}, {}, {}, {}, 20);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();

    testing::FakePump pump;
    WebEnv env{pump, controls, jar};
    Text url(server.BaseUrl() + "/check");
    网页_访问(env, url);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 13u);
    const std::string cookie = requests.back().Header("Cookie");
    for (int i = 0; i < 4; ++i) {
        for (int round = 0; round < 3; ++round)
            EXPECT_NE(cookie.find("t" + std::to_string(i) + "r" + std::to_string(round) + "=v"), std::string::npos)
                << cookie;
    }
}

} // namespace
} // namespace rankmoth::web
