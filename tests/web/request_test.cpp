#include "web/request.h"

#include "tests/support/fake_controls.h"
#include "tests/support/fake_pump.h"
#include "tests/support/raw_http_server.h"
#include "web/cookie_jar.h"
#include "web/http_exchange.h"

#include <gtest/gtest.h>


namespace rankmoth::web {
namespace {

using testing::RawHttpServer;
using testing::RawReply;
using testing::RawRequest;
using namespace std::chrono_literals;

const std::string kAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.0)";
const std::string kAccept = "image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
                            "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
                            "application/msword, */*";

struct RequestFixture : ::testing::Test {
    testing::FakePump pump;
    testing::FakeControls controls;
    CookieJar jar;
    WebEnv env{pump, controls, jar};
};

TEST(UrlHelpers, CutHostPathAndPortAsTheRequestUsesThem) {
    struct Case {
        const char* url;
        const char* host;
        const char* path;
        int port;
    } cases[] = {
        {"http://www.Example.COM/a/b?x=1&y=http://z", "www.example.com", "/a/b?x=1&y=http://z", 80},
        {"http://shop.example:8080/feeds", "shop.example", "/feeds", 8080},
        {"http://shop.example", "shop.example", "/", 80},
        {"shop.example/x", "shop.example", "/x", 80},
        // Plain HTTP for https: the authority reads as "https:", which names no port.
        {"https://secure.example:8443/x", "secure.example", "/x", 0},
        {"http://h/p", "h", "/p", 80},
        {"http://tp:81/q?r", "tp", "/q?r", 81},
        {"http://host.example:/x", "host.example", "/x", 0},
        {"http://host.example:abc/x", "host.example", "/x", 0},
        {"http://host.example:99999/x", "host.example", "/x", -1},
        {"http://HTTP://x/y", "http", "//x/y", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(UrlHost(Text(c.url)), Text(c.host));
        EXPECT_EQ(UrlPath(Text(c.url)), Text(c.path));
        EXPECT_EQ(UrlPort(Text(c.url)), c.port);
    }
}

TEST(HeaderBuffer, HeadsThatDoNotFitWithTheirZeroLeaveTheBlankBuffer) {
    const Text blanks(std::string(2048, ' '));
    EXPECT_EQ(HeaderBufferText(Text()), blanks);
    EXPECT_EQ(HeaderBufferText(Text(std::string(2047, 'h'))), Text(std::string(2047, 'h')));
    EXPECT_EQ(HeaderBufferText(Text(std::string(2048, 'h'))), blanks);
}

TEST_F(RequestFixture, GetSendsExactlyTheComposedHeaderBlock) {
    RawHttpServer server([](const RawRequest&) { return RawReply::Http(200, "page"); });
    Text url(server.BaseUrl() + "/list?page=1&sort=new");
    Text headers;
    Text responseHeaders;
    const Bytes body = 网页_访问(env, url, std::nullopt, {}, &headers, {}, {}, 0, &responseHeaders);

    EXPECT_EQ(body, "page");
    ASSERT_EQ(server.Requests().size(), 1u);
    const std::string referer = server.BaseUrl() + "/list?page=1&sort=new";
    // clang-format off
    EXPECT_EQ(server.Requests()[0].raw, "GET /list?page=1&sort=new HTTP/1.1\r\n"
                                        "Host: " + server.HostPort() + "\r\n"
                                        "User-Agent: " + kAgent + "\r\n"
                                        "Accept: " + kAccept + "\r\n"
                                        "Referer: " + referer + "\r\n"
                                        "Accept-Language: zh-cn\r\n"
                                        "\r\n");
    // clang-format on
    EXPECT_EQ(headers.bytes(), "Accept: " + kAccept + "\r\nReferer: " + referer + "\r\nAccept-Language: zh-cn\r\n");
    EXPECT_EQ(responseHeaders.bytes(), "HTTP/1.1 200 OK\r\nContent-Length: 4\r\nConnection: close\r\n\r\n");
}

TEST_F(RequestFixture, PostWithCallerHeadersInOtherCaseAndCookies) {
    RawHttpServer server([](const RawRequest&) { return RawReply::Http(200, "ok"); });
    Text url(server.BaseUrl() + "/book/ajax");
    Text headers("accept: text/html\r\nREFERER: http://ref.example/\r\naccept-LANGUAGE: en\r\nX-Requested-With: x\r\n");
    网页_访问(env, url, 1, {}, &headers, Text("a=1&b=%E4"), Text("sid=42; lang=cn"));

    const std::string composed = "accept: text/html\r\nREFERER: http://ref.example/\r\naccept-LANGUAGE: en\r\n"
                                 "X-Requested-With: x\r\n"
                                 "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 9\r\n"
                                 "Cookie: sid=42; lang=cn\r\n\r\n";
    EXPECT_EQ(headers.bytes(), composed);
    ASSERT_EQ(server.Requests().size(), 1u);
    // clang-format off
    EXPECT_EQ(server.Requests()[0].raw, "POST /book/ajax HTTP/1.1\r\n"
                                        "Host: " + server.HostPort() + "\r\n"
                                        "User-Agent: " + kAgent + "\r\n"
                                        "accept: text/html\r\nREFERER: http://ref.example/\r\naccept-LANGUAGE: en\r\n"
                                        "X-Requested-With: x\r\n"
                                        "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 9\r\n"
                                        "Cookie: sid=42; lang=cn\r\n"
                                        "\r\n"
                                        "a=1&b=%E4");
    // clang-format on
}

TEST_F(RequestFixture, PostWithoutDataSendsNoBodyHeadersAndALargeBodyNoExpect) {
    RawHttpServer server([](const RawRequest&) { return RawReply::Http(200, "ok"); });
    Text url(server.BaseUrl() + "/p");
    Text headers;
    网页_访问(env, url, 1, {}, &headers);
    const std::string big(200000, 'x');
    网页_访问(env, url, 1, {}, nullptr, Text(big));

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    const RawRequest& empty = requests[0];
    EXPECT_EQ(empty.requestLine, "POST /p HTTP/1.1");
    EXPECT_EQ(empty.HeaderCount("Content-Type") + empty.HeaderCount("Content-Length"), 0);
    EXPECT_EQ(empty.body, "");
    EXPECT_FALSE(Contains(headers, Text("Content-"), false));
    const RawRequest& large = requests[1];
    EXPECT_EQ(large.HeaderCount("Expect"), 0);
    EXPECT_EQ(large.Header("Content-Length"), "200000");
    EXPECT_EQ(large.body, big);
}

TEST_F(RequestFixture, UrlIsTrimmedAndGetsTheSchemeWrittenBack) {
    RawHttpServer server([](const RawRequest&) { return RawReply::Http(200, ""); });
    Text url = "　 "_gbk + Text(server.HostPort() + "/x y") + " 　"_gbk;
    const Bytes body = 网页_访问(env, url);
    EXPECT_EQ(url.bytes(), server.BaseUrl() + "/x y");
    EXPECT_TRUE(body.empty());
    ASSERT_EQ(server.Requests().size(), 1u);
    // A blank cannot stand in a request line.
    EXPECT_EQ(server.Requests()[0].requestLine, "GET /x%20y HTTP/1.1");
}

TEST_F(RequestFixture, PathsAndHeaderLinesGoOutAsGiven) {
    RawHttpServer server([](const RawRequest&) { return RawReply::Http(200, "ok"); });
    Text url(server.BaseUrl() + "//a/./b/../c?x=1?y=%zz&u=http://q/");
    Text headers("X-Empty:\r\nX-Odd:  two  spaces \r\n");
    网页_访问(env, url, 0, {}, &headers);
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine, "GET //a/./b/../c?x=1?y=%zz&u=http://q/ HTTP/1.1");
    ASSERT_GE(requests[0].headerLines.size(), 4u);
    EXPECT_EQ(requests[0].headerLines[2], "X-Empty:");
    EXPECT_EQ(requests[0].headerLines[3], "X-Odd:  two  spaces ");
}

TEST_F(RequestFixture, UnknownAccessMethodShowsTheNoticeAndSendsNothing) {
    RawHttpServer server([](const RawRequest&) { return RawReply::Http(200, "x"); });
    Text url(" " + server.BaseUrl() + "/ ");
    Text headers("Keep: me\r\n");
    Text responseHeaders("untouched");
    EXPECT_TRUE(网页_访问(env, url, 2, {}, &headers, {}, {}, 0, &responseHeaders).empty());

    ASSERT_EQ(controls.MessageBoxes().size(), 1u);
    EXPECT_EQ(controls.MessageBoxes()[0].text, "【网页_访问】命令的第二个【访问方式】参数有误,请返回修改"_gbk);
    EXPECT_EQ(controls.MessageBoxes()[0].caption, "友情提醒"_gbk);
    EXPECT_EQ(controls.MessageBoxes()[0].style, 64);
    EXPECT_EQ(headers, Text("Keep: me\r\n"));
    EXPECT_EQ(responseHeaders, Text("untouched"));
    EXPECT_EQ(url.bytes(), server.BaseUrl() + "/");
    EXPECT_FALSE(server.WaitForRequests(1, 100ms));
}

TEST_F(RequestFixture, CookiesSetByResponsesGoOutWithLaterRequestsToThatHost) {
    RawHttpServer server([](const RawRequest& request) {
        if (request.requestLine.starts_with("GET /login"))
            return RawReply::Http(200, "in", "Set-Cookie: a=b; path=/\r\nset-cookie: token=t1\r\n");
        if (request.requestLine.starts_with("GET /relogin"))
            return RawReply::Http(200, "again", "Set-Cookie: token=t2; Max-Age=3600\r\n");
        return RawReply::Http(200, "page");
    });
    Text url(server.BaseUrl() + "/login");
    网页_访问(env, url);
    EXPECT_EQ(jar.DataOf(Text("127.0.0.1"), Text("a")), Text("b; path=/"));

    url = Text(server.BaseUrl() + "/next");
    网页_访问(env, url);
    url = Text(server.BaseUrl() + "/relogin");
    网页_访问(env, url, 0, {}, nullptr, {}, Text("mine=1; a=caller"));
    url = Text(server.BaseUrl() + "/last");
    网页_访问(env, url);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].HeaderCount("Cookie"), 0);
    EXPECT_EQ(requests[1].Header("Cookie"), "a=b; token=t1");
    // One Cookie line: the caller's text first, the stored ones it does not name after it.
    EXPECT_EQ(requests[2].HeaderCount("Cookie"), 1);
    EXPECT_EQ(requests[2].Header("Cookie"), "mine=1; a=caller; token=t1");
    EXPECT_EQ(requests[3].Header("Cookie"), "a=b; token=t2");
}

TEST_F(RequestFixture, RedirectsAreFollowedWithCookiesAndTheFinalResponseComesBack) {
    RawHttpServer server([](const RawRequest& request) {
        if (request.requestLine.starts_with("POST /form"))
            return RawReply::Http(302, "moved", "Location: done?x=1\r\nSet-Cookie: step=1\r\n");
        return RawReply::Http(200, "final", "X-Final: yes\r\n");
    });
    Text url(server.BaseUrl() + "/form");
    Text responseHeaders;
    const Bytes body = 网页_访问(env, url, 1, {}, nullptr, Text("q=1"), {}, 0, &responseHeaders);

    EXPECT_EQ(body, "final");
    EXPECT_TRUE(Contains(responseHeaders, Text("X-Final: yes\r\n")));
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    const RawRequest& second = requests[1];
    EXPECT_EQ(second.requestLine, "GET /done?x=1 HTTP/1.1");
    EXPECT_EQ(second.Header("Cookie"), "step=1");
    EXPECT_EQ(second.HeaderCount("Content-Length") + second.HeaderCount("Content-Type"), 0);
    EXPECT_EQ(second.body, "");
}

TEST_F(RequestFixture, ProxyGetsTheAbsoluteFormAndHttpsGoesOutAsPlainHttpOnPort80) {
    RawHttpServer proxy([](const RawRequest&) { return RawReply::Http(200, "via proxy"); });
    struct Case {
        const char* url;
        const char* requestLine;
        const char* host;
    } cases[] = {
        {"http://target.invalid:8080/a?b=1", "GET http://target.invalid:8080/a?b=1 HTTP/1.1", "target.invalid:8080"},
        {"https://secure.invalid:8443/s", "GET http://secure.invalid/s HTTP/1.1", "secure.invalid"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        Text url(c.url);
        EXPECT_EQ(网页_访问(env, url, 0, Text(" " + proxy.HostPort() + " ")), "via proxy");
    }
    const auto requests = proxy.Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(requests[i].requestLine, cases[i].requestLine);
        EXPECT_EQ(requests[i].Header("Host"), cases[i].host);
    }
}

TEST_F(RequestFixture, EventsKeepBeingDispatchedWhileASlowServerSends) {
    const std::string page(8 * 1024, 'p');
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(page.size()) + "\r\n\r\n";
    RawHttpServer server([&](const RawRequest& r) {
        if (r.requestLine.starts_with("GET /quick"))
            return RawReply::Http(200, "quick");
        return RawReply::Trickle(head + page, 512, 3ms);
    });
    int clicks = 0;
    for (int i = 0; i < 5; ++i)
        pump.Post([&] { ++clicks; });
    // An event action that makes its own request while the outer one is still reading.
    Bytes nested;
    pump.PostAt(0ms, [&] {
        Text inner(server.BaseUrl() + "/quick");
        nested = 网页_访问(env, inner);
    });
    Text url(server.BaseUrl() + "/slow");
    const Bytes body = 网页_访问(env, url);

    EXPECT_EQ(body, page);
    EXPECT_EQ(nested, "quick");
    EXPECT_EQ(clicks, 5);
    // At least one dispatch per 1024-byte chunk, and more while the server is silent.
    EXPECT_GE(pump.dispatches(), 8 + 8);
}

TEST_F(RequestFixture, BadServersAndAddressesGiveEmptyOrPartialResults) {
    const Text blanks(std::string(2048, ' '));
    const std::string bigHead = "HTTP/1.1 200 OK\r\nSet-Cookie: big=1\r\nX-Pad: " + std::string(2100, 'z') +
                                "\r\nContent-Length: 4\r\n\r\nbody";
    struct Case {
        const char* name;
        RawReply reply;
        std::string body;
        bool blankHead;
    } cases[] = {
        {"garbage instead of HTTP", RawReply::Raw("\x01\x02 not http at all\r\n\r\n"), "", true},
        {"closed in the head", RawReply::Raw("HTTP/1.1 200 OK\r\nContent-Le"), "", true},
        // A body cut short is no page at all: its head still counts for the header buffer.
        {"closed in the body", RawReply::Raw("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\npartial"), "", false},
        {"head larger than the buffer", RawReply::Raw(bigHead), "body", true},
        {"closed before answering", RawReply::Raw(""), "", true},
        {"empty body", RawReply::Http(204, ""), "", false},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        RawHttpServer server([&](const RawRequest&) { return c.reply; });
        Text url(server.BaseUrl() + "/");
        Text responseHeaders;
        EXPECT_EQ(网页_访问(env, url, 0, {}, nullptr, {}, {}, 0, &responseHeaders), c.body);
        EXPECT_EQ(responseHeaders == blanks, c.blankHead);
    }
    // The oversized head's cookie still lands in the store, as the client itself keeps it.
    EXPECT_EQ(jar.DataOf(Text("127.0.0.1"), Text("big")), Text("1"));

    for (const std::string& address : {"http://127.0.0.1:" + std::to_string(testing::ClosedLoopbackPort()) + "/",
                                       // Empty labels: the resolver refuses the name without asking a server.
                                       std::string("http://no..such..host/"), std::string("http://bad host/")}) {
        SCOPED_TRACE(address);
        Text url(address);
        Text responseHeaders;
        EXPECT_TRUE(网页_访问(env, url, 0, {}, nullptr, {}, {}, 0, &responseHeaders).empty());
        EXPECT_EQ(responseHeaders, blanks);
    }
    Text noHost("http:///path");
    Text untouched("untouched");
    EXPECT_TRUE(网页_访问(env, noHost, 0, {}, nullptr, {}, {}, 0, &untouched).empty());
    EXPECT_EQ(untouched, Text("untouched"));
}

TEST_F(RequestFixture, ChunkedBodiesAreJoinedAndTrailersStayOutOfTheHead) {
    RawHttpServer server([](const RawRequest&) {
        RawReply reply = RawReply::Raw("HTTP/1.1 100 Continue\r\n\r\n");
        reply.steps.push_back({"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n", 5ms});
        reply.steps.push_back({"6\r\n world\r\n0\r\nX-Trailer: t\r\n\r\n", 5ms});
        return reply;
    });
    Text url(server.BaseUrl() + "/");
    Text responseHeaders;
    EXPECT_EQ(网页_访问(env, url, 0, {}, nullptr, {}, {}, 0, &responseHeaders), "hello world");
    EXPECT_EQ(responseHeaders, Text("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"));
}

TEST(HttpExchange, AServerThatStopsSendingIsGivenUpOnInsteadOfHoldingTheCaller) {
    RawHttpServer server([](const RawRequest& r) {
        if (r.requestLine.starts_with("GET /silent"))
            return RawReply::Stall();
        // The head alone: any body bytes would keep the measured speed up for seconds.
        RawReply reply = RawReply::Raw("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n");
        reply.stallAfter = true;
        return reply;
    });
    for (const char* path : {"/silent", "/head-only"}) {
        SCOPED_TRACE(path);
        HttpExchangeRequest request;
        request.host = Text("127.0.0.1");
        request.port = server.port();
        request.target = Text(path);
        request.stallSeconds = 1;
        int wakeUps = 0;
        HttpHooks hooks;
        hooks.keepGoing = [&] { return ++wakeUps < 100000; };
        const auto start = std::chrono::steady_clock::now();
        const HttpExchangeResult result = PerformHttpExchange(request, hooks);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
        EXPECT_TRUE(result.opened);
        EXPECT_EQ(result.body, "");
        EXPECT_EQ(result.head.empty(), std::string(path) == "/silent");
        EXPECT_GT(wakeUps, 5);
    }
}

TEST_F(RequestFixture, Utf8PagesComeBackInGbkWhenAsked) {
    RawHttpServer server([](const RawRequest&) { return RawReply::Http(200, "价格 ok"); });
    Text url(server.BaseUrl() + "/");
    EXPECT_EQ(网页_访问(env, url, 0, {}, nullptr, {}, {}, 1), "价格 ok"_gbk.bytes());
    EXPECT_EQ(网页_访问(env, url, 0, {}, nullptr, {}, {}, 0), "价格 ok");
}

} // namespace
} // namespace rankmoth::web
