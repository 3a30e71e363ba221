// Webhook deliveries to loopback receivers that take them, refuse them or never answer.
#include "notify/webhook.h"
#include "tests/support/raw_http_server.h"

#include <gtest/gtest.h>

namespace rankmoth::notify {
namespace {

using testing::RawHttpServer;
using testing::RawReply;
using testing::RawRequest;
using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

TEST(Webhook, TheReceiverGetsOneJsonPost) {
    RawHttpServer receiver([](const RawRequest&) { return RawReply::Http(204, ""); });
    const std::string json = R"({"shop":"demo","text":"晴天 短袖 到了第 1 页"})";
    const WebhookOutcome outcome = PostWebhook(receiver.BaseUrl() + "/hooks/rank?token=a1", json);
    EXPECT_TRUE(outcome.delivered) << outcome.reason;
    const auto requests = receiver.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine, "POST /hooks/rank?token=a1 HTTP/1.1");
    EXPECT_EQ(requests[0].Header("Content-Type"), "application/json");
    EXPECT_EQ(requests[0].Header("Content-Length"), std::to_string(json.size()));
    EXPECT_EQ(requests[0].body, json);
}

TEST(Webhook, AFailureIsTriedOnceMoreAndEndsWithinTheDeadline) {
    const WebhookOptions quick{600ms, 50ms};
    struct Case {
        const char* name;
        std::vector<RawReply> replies; // the last one repeats
        bool delivered;
        std::size_t requests;
        std::string reason;
    } cases[] = {
        {"503, then taken", {RawReply::Http(503, ""), RawReply::Http(200, "ok")}, true, 2, ""},
        {"503 twice", {RawReply::Http(503, "")}, false, 2, ": HTTP 503, on the retry too"},
        {"400 is not retried", {RawReply::Http(400, "bad json")}, false, 1, ": HTTP 400"},
        {"stalled", {RawReply::Stall()}, false, 1, ": deadline of 0.6 s passed"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<std::size_t> served{0};
        RawHttpServer receiver([&](const RawRequest&) { return c.replies[std::min(served++, c.replies.size() - 1)]; });
        const auto start = Steady::now();
        const WebhookOutcome outcome = PostWebhook(receiver.BaseUrl() + "/", "{}", quick);
        EXPECT_LT(Steady::now() - start, 900ms);
        EXPECT_EQ(outcome.delivered, c.delivered);
        EXPECT_EQ(receiver.Requests().size(), c.requests);
        EXPECT_EQ(outcome.reason, c.reason.empty() ? "" : "webhook 127.0.0.1" + c.reason);
    }

    const auto start = Steady::now();
    const WebhookOutcome refused =
        PostWebhook("http://127.0.0.1:" + std::to_string(testing::ClosedLoopbackPort()) + "/", "{}", quick);
    EXPECT_LT(Steady::now() - start, 900ms);
    EXPECT_FALSE(refused.delivered);
    EXPECT_EQ(refused.reason, "webhook 127.0.0.1: connection refused, on the retry too");

    for (const char* url : {"ftp://127.0.0.1/", "not a url", "http://user:pw@127.0.0.1/"}) {
        SCOPED_TRACE(url);
        const WebhookOutcome wrong = PostWebhook(url, "{}", quick);
        EXPECT_FALSE(wrong.delivered);
        EXPECT_NE(wrong.reason.find(url), std::string::npos) << wrong.reason;
    }
}

} // namespace
} // namespace rankmoth::notify
