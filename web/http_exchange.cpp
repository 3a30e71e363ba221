#include "web/http_exchange.h"

#include "web/curl_global.h"
#include "web/curl_handle.h"
#include "web/header_text.h"
#include "web/http_hops.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

namespace rankmoth::web {

namespace {

constexpr int kMaxRedirects = 30;
constexpr std::size_t kHeaderBufferSize = 2048;
constexpr long kLowSpeedBytesPerSecond = 1;
// How long one wait inside the transfer may last before the hooks get control again.
constexpr int kWakeUpMilliseconds = 20;

struct Sink {
    const HttpHooks* hooks = nullptr;
    std::size_t maxBody = 0;
    bool overCap = false;
    Bytes body;
    std::string head;
    bool headComplete = false;
};

bool KeepGoing(const HttpHooks& hooks) {
    return !hooks.keepGoing || hooks.keepGoing();
}

size_t OnBody(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    if (!KeepGoing(*sink->hooks))
        return 0;
    const std::size_t needed = sink->body.size() + size * count;
    if (needed > sink->maxBody) {
        sink->overCap = true;
        return 0;
    }
    // Doubling would reserve up to twice the cap for a body just under it.
    if (needed > sink->body.capacity())
        sink->body.reserve(std::min(std::max(needed, 2 * sink->body.capacity()), sink->maxBody));
    sink->body.append(data, size * count);
    return size * count;
}

size_t OnHeaderLine(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<Sink*>(user);
    std::string_view line(data, size * count);
    // Every status line opens a new head: interim (1xx) and proxy heads give way to the final one.
    if (line.substr(0, 5) == "HTTP/") {
        sink->head.clear();
        sink->headComplete = false;
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.remove_suffix(1);
    // Trailer lines after a chunked body are not part of the head.
    if (sink->headComplete)
        return size * count;
    if (line.empty()) {
        if (!sink->head.empty()) {
            sink->head += "\r\n";
            sink->headComplete = true;
        }
        return size * count;
    }
    sink->head.append(line);
    sink->head += "\r\n";
    return size * count;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return KeepGoing(*static_cast<Sink*>(user)->hooks) ? 0 : 1;
}

// The header lines as libcurl is to send them, and no line of its own beyond Host and User-Agent.
bool AppendHeaderLines(CurlHeaderList& headers, const std::vector<std::string>& lines, const Hop& hop) {
    bool listed = true;
    for (const auto& line : lines) {
        // libcurl reads "Name:" with nothing after it as "do not send Name"; "Name;" is its way of sending
        // a header with an empty value.
        const auto colon = line.find(':');
        if (colon != std::string::npos && TrimBlanks(std::string_view(line).substr(colon + 1)).empty())
            listed = listed && headers.Append(line.substr(0, colon) + ";");
        else
            listed = listed && headers.Append(line);
    }
    // Empty "Name:" entries only stop libcurl from adding its own Accept, Expect and Content-Type lines; they
    // are not sent. A given line of the same name comes first and is sent instead.
    listed = listed && headers.Append("Accept:") && headers.Append("Expect:") && headers.Append("Content-Type:");
    const bool post = hop.method == "POST";
    if (!post || hop.body.empty())
        listed = listed && headers.Append("Content-Length:");
    return listed;
}

// Drives the transfer to its end, handing control to the hooks at every wake-up; the transfer's own result.
CURLcode RunTransfer(CurlMulti& multi, const HttpHooks& hooks) {
    int running = 1;
    while (running) {
        if (!KeepGoing(hooks))
            return CURLE_ABORTED_BY_CALLBACK;
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK)
            return CURLE_RECV_ERROR;
        if (running && curl_multi_poll(multi.get(), nullptr, 0, kWakeUpMilliseconds, nullptr) != CURLM_OK)
            return CURLE_RECV_ERROR;
    }
    CURLcode code = CURLE_AGAIN;
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
        if (message->msg == CURLMSG_DONE)
            code = message->data.result;
    }
    return code;
}

struct HopOutcome {
    bool opened = false;
    CURLcode code = CURLE_OK;
    long status = 0;
    curl_off_t announced = -1;
    Sink sink;
};

// An interim (1xx) head alone is no response.
bool IsInterimHead(const std::string& head) {
    if (head.size() <= 9 || head.compare(0, 5, "HTTP/") != 0)
        return false;
    const auto space = head.find(' ');
    return space != std::string::npos && space + 1 < head.size() && head[space + 1] == '1';
}

// Everything the transfer needs that does not change while it runs; the strings pointed to must outlive it.
void SetUpTransfer(CURL* h, const HttpExchangeRequest& request, const Hop& hop, const HopAddress& address,
                   const std::string& proxy, const CurlHeaderList& headers, std::chrono::milliseconds timeLeft,
                   Sink& sink) {
    curl_easy_setopt(h, CURLOPT_URL, address.url.c_str());
    curl_easy_setopt(h, CURLOPT_REQUEST_TARGET, address.target.c_str());
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    if (!request.userAgent.empty())
        curl_easy_setopt(h, CURLOPT_USERAGENT, request.userAgent.c_str());
    // An empty proxy also keeps libcurl from taking one from the environment.
    curl_easy_setopt(h, CURLOPT_PROXY, address.proxied ? proxy.c_str() : "");
    curl_easy_setopt(h, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
    curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (hop.method == "POST") {
        curl_easy_setopt(h, CURLOPT_POST, 1L);
        curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(hop.body.size()));
        curl_easy_setopt(h, CURLOPT_POSTFIELDS, hop.body.data());
    } else {
        curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, request.connectTimeoutSeconds);
    if (timeLeft > std::chrono::milliseconds::zero())
        curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(timeLeft.count()));
    // Refuses an announced length over the cap before any of the body is read; OnBody catches the rest.
    curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.maxBody));
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytesPerSecond);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, request.stallSeconds);
    curl_easy_setopt(h, CURLOPT_BUFFERSIZE, request.readChunk);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &sink);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeaderLine);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &sink);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &sink);
}

HopOutcome PerformHop(const HttpExchangeRequest& request, const Hop& hop, const std::vector<std::string>& lines,
                      const HttpHooks& hooks, std::chrono::milliseconds timeLeft) {
    HopOutcome out;
    out.sink.hooks = &hooks;
    out.sink.maxBody = request.maxBody;
    // Declared so that the multi handle lets go of the easy handle, and the easy handle goes, before the
    // header list it points to is freed.
    CurlHeaderList headers;
    CurlEasy easy;
    CurlMulti multi;
    if (!easy || !multi)
        return out;
    out.opened = true;
    // From here on a failure behaves like a failed send: nothing or part of a response arrives.
    const HopAddress address = HopAddressOf(hop, request.proxy.bytes());
    if (!address.usable) {
        out.code = CURLE_URL_MALFORMAT;
        return out;
    }
    if (!AppendHeaderLines(headers, lines, hop)) {
        out.opened = false;
        return out;
    }
    const std::string proxy(TrimBlanks(request.proxy.bytes()));
    SetUpTransfer(easy.get(), request, hop, address, proxy, headers, timeLeft, out.sink);
    if (!multi.Attach(easy.get())) {
        out.opened = false;
        return out;
    }
    out.code = RunTransfer(multi, hooks);
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &out.status);
    curl_easy_getinfo(easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &out.announced);
    multi.Detach();
    if (out.sink.headComplete && IsInterimHead(out.sink.head))
        out.sink.headComplete = false;
    return out;
}

} // namespace

HttpExchangeResult PerformHttpExchange(const HttpExchangeRequest& request, const HttpHooks& hooks) {
    EnsureCurlInitialised();
    HttpExchangeResult result;
    Hop hop;
    hop.method = request.method == "POST" ? "POST" : "GET";
    hop.tls = request.tls;
    hop.host = LowerAscii(request.host.bytes());
    hop.port = request.port;
    hop.target = request.target.bytes();
    if (hop.method == "POST")
        hop.body = request.body;
    result.verdict = Answer::Failed(base::FailureKind::Other, "no host to ask");
    if (hop.host.empty())
        return result;

    using Steady = std::chrono::steady_clock;
    const bool timed = request.deadline > std::chrono::milliseconds::zero();
    const auto until = Steady::now() + request.deadline;
    for (int redirects = 0;; ++redirects) {
        const std::vector<std::string> lines =
            HeaderLinesForHop(request.headerLines, hop,
                              hooks.cookiesFor ? hooks.cookiesFor(Text(hop.host)).bytes() : std::string());

        auto timeLeft = std::chrono::milliseconds::zero();
        if (timed) {
            timeLeft = std::chrono::duration_cast<std::chrono::milliseconds>(until - Steady::now());
            // A redirect chain that used up the whole deadline ends like a transfer that did.
            if (timeLeft <= std::chrono::milliseconds::zero()) {
                result.verdict = Answer::Failed(base::FailureKind::Deadline, DeadlineReason(request.deadline));
                return result;
            }
        }
        HopOutcome outcome = PerformHop(request, hop, lines, hooks, timeLeft);
        if (!outcome.opened) {
            result.verdict = Answer::Failed(base::FailureKind::Other, "the request could not be set up");
            return result;
        }
        result.opened = true;
        if (outcome.sink.headComplete && hooks.storeCookies)
            hooks.storeCookies(Text(hop.host), Text(outcome.sink.head));
        const bool redirected = IsRedirectStatus(outcome.status);
        if (request.followRedirects && redirected && outcome.code == CURLE_OK && redirects < kMaxRedirects &&
            NextHop(HeadValueOf(outcome.sink.head, "location"), outcome.status, hop))
            continue;

        TransferFacts facts;
        facts.curlCode = outcome.code;
        facts.status = outcome.sink.headComplete ? outcome.status : 0;
        facts.headComplete = outcome.sink.headComplete;
        facts.redirectNotFollowed = redirected && !request.followRedirects;
        facts.overCap = outcome.sink.overCap;
        facts.received = outcome.sink.body.size();
        facts.announced = outcome.announced;
        facts.deadline = request.deadline;
        facts.maxBody = request.maxBody;
        facts.retryAfter = HeadValueOf(outcome.sink.head, "retry-after");
        facts.now = std::time(nullptr);
        result.verdict = JudgeTransfer(facts);
        result.body = std::move(outcome.sink.body);
        if (outcome.sink.headComplete)
            result.head = Text(outcome.sink.head);
        return result;
    }
}

Text HeaderBufferText(const Text& head) {
    if (!head.empty() && head.size() + 1 <= kHeaderBufferSize)
        return head;
    return Text(std::string(kHeaderBufferSize, ' '));
}

std::vector<std::string> HeaderLinesOf(const Text& headers) {
    std::vector<std::string> lines;
    ForEachHeaderLine(headers.bytes(), [&](std::string_view view) {
        std::string line(view);
        // A stray CR inside a line would end it on the wire.
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        if (!line.empty())
            lines.push_back(std::move(line));
    });
    return lines;
}

} // namespace rankmoth::web
