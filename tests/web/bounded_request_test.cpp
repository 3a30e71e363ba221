// Servers that misbehave: every request ends, stays bounded in memory, and says why it failed.
#include "base/eventpump.h"
#include "tests/support/fake_controls.h"
#include "tests/support/raw_http_server.h"
#include "web/cookie_jar.h"
#include "web/fetch.h"
#include "web/http_exchange.h"
#include "web/request.h"
#include "web/request_policy.h"

#include <gtest/gtest.h>

#include <atomic>

namespace rankmoth::web {
namespace {

using base::FailureKind;
using testing::RawHttpServer;
using testing::RawReply;
using testing::RawRequest;
using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

HttpExchangeRequest RequestTo(int port, std::chrono::milliseconds deadline = 2s) {
    HttpExchangeRequest request;
    request.host = Text("127.0.0.1");
    request.port = port;
    request.target = Text("/");
    request.deadline = deadline;
    request.maxBody = std::size_t{1} << 20;
    return request;
}

TEST(BoundedExchange, EachMisbehaviourEndsAsAFailureWithItsReason) {
    const std::string head812 = "HTTP/1.1 200 OK\r\nContent-Length: 4096\r\n\r\n" + std::string(812, 'x');
    struct Case {
        const char* name;
        RawReply reply;
        FailureKind kind;
        std::string reason;
    } cases[] = {
        {"endless body", RawReply::Endless(std::string(64 * 1024, 'e')), FailureKind::TooLarge, "answer over 1 MiB"},
        {"announced body over the cap", RawReply::Http(200, std::string((std::size_t{1} << 20) + 1, 'b')),
         FailureKind::TooLarge, "answer over 1 MiB"},
        {"body in drips",
         RawReply::Trickle("HTTP/1.1 200 OK\r\nContent-Length: 99\r\n\r\n" + std::string(99, 'd'), 2, 100ms),
         FailureKind::Deadline, "deadline of 0.7 s passed"},
        {"head in drips", RawReply::Trickle("HTTP/1.1 200 OK\r\nX-Slow: " + std::string(200, 'h'), 1, 50ms),
         FailureKind::Deadline, "deadline of 0.7 s passed"},
        {"closed before the announced length", RawReply::Raw(head812), FailureKind::CutOff,
         "answer cut off after 812 of 4096 bytes"},
        {"503 with a page that looks right", RawReply::Http(503, "book:\"1\",lastTweetId"), FailureKind::HttpStatus,
         "HTTP 503"},
        {"404", RawReply::Http(404, "gone"), FailureKind::HttpStatus, "HTTP 404"},
        {"429 asking for 30 s", RawReply::Http(429, "", "Retry-After: 30\r\n"), FailureKind::HttpStatus, "HTTP 429"},
        {"nothing at all", RawReply::Raw(""), FailureKind::CutOff, "connection closed without an answer"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        RawHttpServer server([&](const RawRequest&) { return c.reply; });
        const auto start = Steady::now();
        const HttpExchangeResult result = PerformHttpExchange(RequestTo(server.port(), 700ms), {});
        EXPECT_LT(Steady::now() - start, 1700ms);
        EXPECT_FALSE(result.verdict.ok);
        EXPECT_EQ(result.verdict.failure, c.kind);
        EXPECT_EQ(result.verdict.reason, c.reason);
        EXPECT_LE(result.body.size(), std::size_t{1} << 20);
        EXPECT_EQ(result.verdict.retryAfter.has_value(), c.reply.steps[0].bytes.starts_with("HTTP/1.1 429"));
    }

    RawHttpServer fine([](const RawRequest&) { return RawReply::Http(200, "whole"); });
    const HttpExchangeResult good = PerformHttpExchange(RequestTo(fine.port()), {});
    EXPECT_TRUE(good.verdict.ok);
    EXPECT_EQ(good.verdict.status, 200);
    EXPECT_EQ(good.body, "whole");

    const HttpExchangeResult refused = PerformHttpExchange(RequestTo(testing::ClosedLoopbackPort()), {});
    EXPECT_EQ(refused.verdict.failure, FailureKind::Refused);
    EXPECT_EQ(refused.verdict.reason, "connection refused");
}

TEST(BoundedExchange, AStopAbortsATransferThatWouldOtherwiseWaitItsWholeDeadline) {
    RawHttpServer server([](const RawRequest&) { return RawReply::Stall(); });
    const auto start = Steady::now();
    HttpHooks hooks;
    hooks.keepGoing = [&] { return Steady::now() - start < 100ms; };
    const HttpExchangeResult result = PerformHttpExchange(RequestTo(server.port(), 30s), hooks);
    EXPECT_LT(Steady::now() - start, 300ms);
    EXPECT_EQ(result.verdict.failure, FailureKind::Stopped);
}

TEST(BoundedExchange, RetryAfterIsReadAsSecondsOrAsADate) {
    const std::time_t now = 1'700'000'000; // Tue, 14 Nov 2023 22:13:20 GMT
    struct Case {
        const char* value;
        std::optional<long long> seconds;
    } cases[] = {
        {"30", 30},
        {" 7 ", 7},
        {"0", 0},
        {"Tue, 14 Nov 2023 22:15:20 GMT", 120},
        {"Tue, 14 Nov 2023 22:00:00 GMT", 0}, // already past
        {"-5", std::nullopt},
        {"soon", std::nullopt},
        {"", std::nullopt},
        {"99999999999999999999999", 1LL << 40},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const auto parsed = ParseRetryAfter(c.value, now);
        ASSERT_EQ(parsed.has_value(), c.seconds.has_value());
        if (parsed) {
            EXPECT_EQ(parsed->count(), *c.seconds);
        }
    }
    TransferFacts busy;
    busy.status = 429;
    busy.headComplete = true;
    busy.retryAfter = "30";
    EXPECT_EQ(JudgeTransfer(busy).retryAfter, 30s);
    busy.status = 500; // only 429 and 503 ask the client to wait
    EXPECT_FALSE(JudgeTransfer(busy).retryAfter);
}

TEST(BoundedExchange, ThePacerWaitsWhatTheServerAsksAndGivesUpOnAHostThatIsGone) {
    std::vector<std::chrono::milliseconds> slept;
    RequestPolicy policy;
    policy.retries = 2;
    policy.sleep = [&](std::chrono::milliseconds d) { slept.push_back(d); };
    policy.unreachableAttemptsToGiveUp = 3;

    const auto busy = [](long long seconds) {
        Answer a = Answer::Failed(FailureKind::HttpStatus, "HTTP 429");
        a.status = 429;
        a.retryAfter = std::chrono::seconds(seconds);
        return a;
    };
    RequestPacer pacer(policy);
    int calls = 0;
    EXPECT_TRUE(pacer.Send([&] { return ++calls == 1 ? busy(30) : Answer{{}, true}; }, {}).ok);
    EXPECT_EQ(slept, (std::vector<std::chrono::milliseconds>{30s}));

    slept.clear();
    calls = 0;
    const Answer tooLong = pacer.Send([&] { return ++calls, busy(900); }, {});
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(slept.empty());
    EXPECT_EQ(tooLong.reason, "HTTP 429 asking to wait 900 s, over the 600 s a retry may wait");

    // Without Retry-After the waits stay 1 s, then 3 s.
    slept.clear();
    calls = 0;
    pacer.Send([&] { return ++calls, Answer::Failed(FailureKind::HttpStatus, "HTTP 503"); }, {});
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(slept, (std::vector<std::chrono::milliseconds>{1s, 3s}));

    calls = 0;
    const Answer gone =
        pacer.Send([&] { return ++calls, Answer::Failed(FailureKind::Refused, "connection refused"); }, {});
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(pacer.hostGone());
    EXPECT_EQ(gone.reason, "connection refused on 3 requests in a row");
    EXPECT_FALSE(pacer.Send([&] { return ++calls, Answer{{}, true}; }, {}).ok);
    EXPECT_EQ(calls, 3) << "a gone host is not asked again";
}

TEST(BoundedRequest, TheWindowsRequestGivesNoPageForAFailureAndTheTimedFetchStopsWhenAsked) {
    testing::FakeControls controls;
    base::PlainEventPump pump;
    CookieJar jar;
    WebEnv env{pump, controls, jar};

    RawHttpServer server([](const RawRequest& r) {
        if (r.requestLine.starts_with("GET /stall"))
            return RawReply::Stall();
        return RawReply::Http(503, "book:\"1\",lastTweetId");
    });
    Text url(server.BaseUrl() + "/busy");
    EXPECT_EQ(网页_访问(env, url), "");

    Text stall(server.BaseUrl() + "/stall");
    const auto start = Steady::now();
    TimedFetchOptions options;
    options.stopRequested = [&] { return Steady::now() - start > 100ms; };
    options.stopPollEvery = 50ms; // nothing wakes the plain pump when the stop comes
    const Answer stopped = TimedFetchAnswer(env, stall, options);
    EXPECT_LT(Steady::now() - start, 400ms);
    EXPECT_EQ(stopped.failure, FailureKind::Stopped);
}

TEST(CookieStorm, AHostKeepsItsNewestFiftyCookiesAndNoneOverFourKilobytes) {
    std::atomic<int> served{0};
    RawHttpServer server([&](const RawRequest&) {
        const int n = served++;
        return RawReply::Http(200, "ok", "Set-Cookie: c" + std::to_string(n) + "=" + std::string(3000, 'v') + "\r\n");
    });
    testing::FakeControls controls;
    base::PlainEventPump pump;
    CookieJar jar;
    WebEnv env{pump, controls, jar};
    for (int i = 0; i < 60; ++i) {
        Text url(server.BaseUrl() + "/");
        网页_访问(env, url);
    }
    const auto requests = server.Requests();
    const std::string last = requests.back().Header("Cookie");
    EXPECT_LT(last.size(), 50u * 3010);
    EXPECT_EQ(last.find("c8="), std::string::npos) << "the oldest went first";
    EXPECT_NE(last.find("c58="), std::string::npos);

    jar.Store(Text("h"), Text("big"), Text(std::string(4100, 'x')));
    EXPECT_TRUE(jar.DataOf(Text("h"), Text("big")).empty());
}

} // namespace
} // namespace rankmoth::web
