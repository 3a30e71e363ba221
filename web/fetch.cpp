#include "web/fetch.h"

#include "base/eventpump.h"
#include "web/codecs.h"
#include "web/cookie_jar.h"
#include "web/curl_global.h"
#include "web/http_exchange.h"
#include "web/request.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace rankmoth::web {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kDefaultTimeout{60000};
// Beyond this a wait would overflow the clocks it is measured with; no fetch is meant to wait longer.
constexpr long long kLongestTimeoutMs = 0x7FFFFFFF;

std::atomic<int> workersRunning{0};

const Text& DefaultUserAgent() {
    static const Text agent("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727; "
                            ".NET CLR 3.0.04506.648; .NET CLR 3.5.21022)");
    return agent;
}

const Text kCrLf("\r\n");

// How a worker reaches the cookie store. An abandoned worker must not touch it any more: the jar may be
// gone by the time its late response arrives.
struct JarAccess {
    std::function<Text(const Text& host)> cookiesFor;
    std::function<void(const Text& host, const Text& head)> store;
};

// The user agent a caller's header text asks for: the text between "User-Agent:" and the line end.
Text UserAgentOf(const Text& headers) {
    const Text marker("User-Agent:");
    const int at = Find(headers, marker, 1, false);
    if (at < 1)
        return DefaultUserAgent();
    const int from = at + static_cast<int>(marker.size());
    const int end = Find(headers, kCrLf, from);
    return end < 1 ? Text() : TrimSpaces(Mid(headers, from, end - from));
}

FetchReply RunFetchJob(const FetchJob& job, const std::function<bool()>& keepGoing, const JarAccess& jar,
                       Answer& verdict, milliseconds deadline) {
    const Text& url = job.url;
    const std::string& method = job.method;
    const Text& proxy = job.proxy;
    Text headers = job.extraHeaders;
    const Bytes& body = job.body;
    const Text& cookies = job.cookies;
    const bool follow = job.followRedirects;

    const bool https = Contains(ToLowerAscii(url), Text("https://"));
    HttpExchangeRequest request;
    request.tls = https;
    request.host = UrlHost(url);
    request.target = UrlPath(url);
    request.port = https ? 443 : UrlPort(url);
    request.method = method;
    request.proxy = proxy;
    request.userAgent = UserAgentOf(headers);
    request.readChunk = 2048;
    request.followRedirects = follow;
    request.deadline = deadline;

    if (!Contains(headers, Text("Accept"), false))
        headers += Text("Accept: image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, "
                        "application/x-shockwave-flash, application/vnd.ms-excel, application/vnd.ms-powerpoint, "
                        "application/msword, */*") +
                   kCrLf;
    if (Contains(headers, Text("RefererNo"), false))
        headers = ReplaceFirst(headers, Text("RefererNo"), Text());
    else if (!Contains(headers, Text("Referer"), false))
        headers += Text("Referer: ") + url + kCrLf;
    if (!Contains(headers, Text("Accept-Language"), false))
        headers += Text("Accept-Language: zh-cn") + kCrLf;
    if (method == "POST" && !body.empty()) {
        if (!Contains(headers, Text("Content-Type"), false))
            headers += Text("Content-Type: application/x-www-form-urlencoded") + kCrLf;
        if (!Contains(headers, Text("Content-Length"), false))
            headers += Text("Content-Length: ") + TextOfInteger(static_cast<long long>(body.size())) + kCrLf;
    }
    if (!cookies.empty())
        headers += Text("Cookie: ") + cookies + kCrLf + kCrLf;
    request.headerLines = HeaderLinesOf(headers);
    if (method == "POST")
        request.body = body;

    HttpHooks hooks;
    hooks.keepGoing = keepGoing;
    // A cookie text of its own switches the store off for this request: only that text is sent, and the
    // response cookies are stored only by the walk below.
    if (TrimSpaces(cookies).empty()) {
        hooks.cookiesFor = jar.cookiesFor;
        hooks.storeCookies = jar.store;
    }
    HttpExchangeResult result = PerformHttpExchange(request, hooks);
    // Once abandoned the worker touches nothing beyond its own record and handles, whatever it received.
    if (keepGoing && !keepGoing())
        return {};
    verdict = std::move(result.verdict);
    if (!result.opened)
        return {};
    FetchReply reply;
    reply.head = HeaderBufferText(result.head);
    for (const auto& line : SetCookieLines(reply.head))
        reply.cookieList += line.listed.bytes() + ";";
    jar.store(request.host, reply.head);
    reply.body = std::move(result.body);
    return reply;
}

// What the waiting thread and its worker share. The worker holds it by shared ownership, so an abandoned
// worker still writes into memory of its own.
struct FetchCall {
    FetchJob job;
    FetchReply reply;
    Answer verdict;
    base::DoneSignal done;
    std::atomic<bool> abandoned{false};
    std::mutex jarMutex;
    CookieJar* jar = nullptr; // cleared under jarMutex when the call is abandoned

    void Abandon() {
        std::lock_guard lock(jarMutex);
        jar = nullptr;
        abandoned = true;
    }
    JarAccess Access() {
        return {[this](const Text& host) {
                    std::lock_guard lock(jarMutex);
                    return jar ? jar->HeaderValueFor(host) : Text();
                },
                [this](const Text& host, const Text& head) {
                    std::lock_guard lock(jarMutex);
                    if (jar)
                        jar->StoreFromHeaders(host, head);
                }};
    }
};

} // namespace

Text TimeoutText() {
    return "超时返回，指定网站不能访问，或者你的网络出现问题，你可以把参数中的＂超时返回＂的值设置长一些。"_gbk;
}

FetchReply FetchWorker(const FetchJob& job, CookieJar& jar, Answer* verdict) {
    Answer ignored;
    return RunFetchJob(job, {},
                       {[&jar](const Text& host) { return jar.HeaderValueFor(host); },
                        [&jar](const Text& host, const Text& head) { jar.StoreFromHeaders(host, head); }},
                       verdict ? *verdict : ignored, kDefaultTimeout);
}

int FetchWorkersRunning() {
    return workersRunning.load();
}

Answer TimedFetchAnswer(WebEnv& env, Text& url, const TimedFetchOptions& options) {
    if (TrimSpaces(url).empty())
        return Answer::Failed(base::FailureKind::Other, "no address");
    if (!url.bytes().starts_with("http://") && !url.bytes().starts_with("https://"))
        url = Text("http://") + url;
    EnsureCurlInitialised();

    long long limitMs = options.超时返回 ? static_cast<long long>(*options.超时返回) * 1000 : kDefaultTimeout.count();
    limitMs = std::clamp(limitMs, 0LL, kLongestTimeoutMs);
    const milliseconds limit(limitMs);

    auto call = std::make_shared<FetchCall>();
    call->job = {url,
                 options.method == 1 ? "POST" : "GET",
                 options.proxy,
                 options.extraHeaders,
                 options.postBytes,
                 options.cookies,
                 options.followRedirects};
    call->jar = &env.cookies;

    ++workersRunning;
    try {
        std::thread([call, limit]() mutable {
            FetchCall& own = *call;
            own.reply = RunFetchJob(
                own.job, [&own] { return !own.abandoned.load(); }, own.Access(), own.verdict, limit);
            own.done.Signal();
            call.reset();
            --workersRunning;
        }).detach();
    } catch (const std::system_error&) {
        --workersRunning;
        return Answer::Failed(base::FailureKind::Other, "no thread for the request");
    }

    const milliseconds step = options.stopPollEvery > milliseconds::zero() ? options.stopPollEvery : limit;
    const auto stopped = [&options] { return options.stopRequested && options.stopRequested(); };
    const milliseconds start = env.pump.Now();
    bool timedOut = false;
    for (;;) {
        const milliseconds waited = env.pump.Now() - start;
        env.pump.WaitForDoneOrEvents(call->done, std::min(step, std::max(limit - waited, milliseconds(0))));
        if (env.pump.Now() - start >= limit)
            timedOut = true;
        env.pump.DispatchPending();
        if (call->done.IsSignalled())
            break;
        if (timedOut || stopped()) {
            // The worker notices at its next wake-up, closes its handles and ends on its own; what it
            // produces by then is dropped with the shared record.
            call->Abandon();
            if (timedOut) {
                Answer answer = Answer::Failed(base::FailureKind::Deadline,
                                               "deadline of " + std::to_string(limitMs / 1000) + " s passed");
                answer.body = TimeoutText().bytes();
                return answer;
            }
            return Answer::Failed(base::FailureKind::Stopped, "stopped");
        }
    }

    FetchReply& reply = call->reply;
    Answer answer = std::move(call->verdict);
    // The worker's own deadline is the same as the wait's and may pass a moment earlier.
    if (!answer.ok && answer.failure == base::FailureKind::Deadline) {
        answer.body = TimeoutText().bytes();
        return answer;
    }
    if (options.responseHeaders)
        *options.responseHeaders = reply.head;
    if (options.returnedCookies)
        *options.returnedCookies = TextOf(reply.cookieList);
    if (options.responseConversion == 1)
        answer.body = Utf8ToGbk(reply.body).bytes();
    else if (options.responseConversion == 2)
        answer.body = Big5ToSimplifiedGbk(reply.body).bytes();
    else
        answer.body = std::move(reply.body);
    return answer;
}

Bytes TimedFetch(WebEnv& env, Text& url, int method, const Text& proxy, const Text& extraHeaders,
                 const Bytes& postBytes, const Text& cookies, std::optional<int> 超时返回, Text* responseHeaders,
                 int responseConversion, Text* returnedCookies, bool followRedirects) {
    TimedFetchOptions options;
    options.method = method;
    options.proxy = proxy;
    options.extraHeaders = extraHeaders;
    options.postBytes = postBytes;
    options.cookies = cookies;
    options.超时返回 = 超时返回;
    options.responseHeaders = responseHeaders;
    options.responseConversion = responseConversion;
    options.returnedCookies = returnedCookies;
    options.followRedirects = followRedirects;
    Answer answer = TimedFetchAnswer(env, url, options);
    // The time-out text stands in for the page, as callers look for it; any other failure is no page.
    if (answer.ok || answer.failure == base::FailureKind::Deadline)
        return std::move(answer.body);
    return {};
}

} // namespace rankmoth::web
