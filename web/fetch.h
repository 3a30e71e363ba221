#pragma once

#include "base/text.h"
#include "web/answer.h"
#include "web/web_env.h"

#include <chrono>
#include <functional>
#include <optional>

namespace rankmoth::web {

// One request on a worker thread while the calling thread waits with its events dispatched. On time-out
// returns the bytes of the time-out text and leaves `responseHeaders` and `returnedCookies` untouched.
Bytes TimedFetch(WebEnv& env, Text& url, int method = 0, const Text& proxy = {}, const Text& extraHeaders = {},
                 const Bytes& postBytes = {}, const Text& cookies = {}, std::optional<int> 超时返回 = std::nullopt,
                 Text* responseHeaders = nullptr, int responseConversion = 0, Text* returnedCookies = nullptr,
                 bool followRedirects = true);

// One timed fetch as TimedFetch takes it, for callers that want the verdict on the answer.
struct TimedFetchOptions {
    int method = 0; // 1 POST
    Text proxy;
    Text extraHeaders;
    Bytes postBytes;
    Text cookies;
    std::optional<int> 超时返回; // seconds; unset waits 60 s. The request's whole deadline as well.
    Text* responseHeaders = nullptr;
    int responseConversion = 0;
    Text* returnedCookies = nullptr;
    bool followRedirects = true;
    // Polled whenever the calling thread's wait ends (an event, or every `stopPollEvery`); true abandons the
    // worker at once.
    std::function<bool()> stopRequested;
    // For a pump that no event wakes when a stop comes (a signal handler's flag): the wait is cut into steps
    // of this length. Zero waits once, until the answer or an event.
    std::chrono::milliseconds stopPollEvery{0};
};

// TimedFetch with the verdict: on time-out a Deadline failure whose body is the time-out text.
Answer TimedFetchAnswer(WebEnv& env, Text& url, const TimedFetchOptions& options);

// The text returned in place of the page when the time-out passes.
Text TimeoutText();

class CookieJar;

// What a fetch worker is asked to do.
struct FetchJob {
    Text url;
    std::string method = "GET"; // or "POST"
    Text proxy;
    Text extraHeaders; // CRLF-ended header lines of the caller's own
    Bytes body;        // sent only with POST
    Text cookies;      // a cookie text of the caller's own switches the jar off for this request
    bool followRedirects = true;
};

// What it hands back; all empty when no connection was made.
struct FetchReply {
    Bytes body;
    std::string cookieList; // "name=value;" per cookie the answer set
    Text head;              // the raw response head
};

// Carries out one job on the calling thread, storing the response cookies in `jar`. `verdict`, when given,
// receives the judgement of the answer.
FetchReply FetchWorker(const FetchJob& job, CookieJar& jar, Answer* verdict = nullptr);

// Workers still running, abandoned ones included; lets a test (or the exit path) wait until they are gone.
int FetchWorkersRunning();

} // namespace rankmoth::web
