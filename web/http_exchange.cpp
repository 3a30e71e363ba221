#include "web/http_exchange.h"

#include "web/curl_global.h"
#include "web/curl_handle.h"
#include "web/header_text.h"

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

std::string LowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// The header name of a line, lower-cased; empty when the line has no colon.
std::string HeaderNameOf(std::string_view line) {
    const auto colon = line.find(':');
    return colon == std::string_view::npos ? std::string() : LowerAscii(TrimBlanks(line.substr(0, colon)));
}

// Host names go into a URL that libcurl parses, so anything that could change its meaning is refused.
bool UsableHost(const std::string& host) {
    if (host.empty() || host.size() > 253)
        return false;
    if (host.front() == '[')
        return host.back() == ']' && host.find_first_not_of("0123456789abcdef:.[]") == std::string::npos;
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
    });
}

// Blanks and control bytes cannot stand in a request line; everything else goes out as given.
std::string RequestTargetOf(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    if (out.empty() || out.front() != '/')
        out.insert(out.begin(), '/');
    return out;
}

struct Hop {
    std::string method;
    bool tls = false;
    std::string host;
    int port = 80;
    std::string target;
    Bytes body;
    bool keepsCallerCookies = true;
    bool keepsBodyHeaders = true;
};

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

// Merges the jar's cookies for the hop into its first Cookie line (the caller's own values win), or adds a
// Cookie line when there is none, so that exactly one goes out.
void MergeJarCookies(std::vector<std::string>& lines, const std::string& jar) {
    if (jar.empty())
        return;
    auto cookieLine = std::find_if(lines.begin(), lines.end(),
                                   [](const std::string& line) { return HeaderNameOf(line) == "cookie"; });
    if (cookieLine == lines.end()) {
        lines.push_back("Cookie: " + jar);
        return;
    }
    const std::string_view existing = TrimBlanks(std::string_view(*cookieLine).substr(cookieLine->find(':') + 1));
    std::vector<std::string> given;
    for (std::size_t at = 0; at <= existing.size();) {
        const auto end = std::min(existing.find(';', at), existing.size());
        const auto pair = TrimBlanks(existing.substr(at, end - at));
        given.emplace_back(TrimBlanks(pair.substr(0, pair.find('='))));
        at = end + 1;
    }
    std::string added;
    std::string_view rest(jar);
    while (!rest.empty()) {
        const auto end = std::min(rest.find(';'), rest.size());
        const auto pair = TrimBlanks(rest.substr(0, end));
        rest.remove_prefix(std::min(end + 1, rest.size()));
        const std::string name(TrimBlanks(pair.substr(0, pair.find('='))));
        if (pair.empty() || std::find(given.begin(), given.end(), name) != given.end())
            continue;
        if (!added.empty())
            added += "; ";
        added += pair;
    }
    if (added.empty())
        return;
    if (existing.empty())
        *cookieLine = "Cookie: " + added;
    else
        *cookieLine += "; " + added;
}

struct HopOutcome {
    bool opened = false;
    CURLcode code = CURLE_OK;
    long status = 0;
    curl_off_t announced = -1;
    Sink sink;
};

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
    if (!UsableHost(hop.host) || hop.port < 0 || hop.port > 65535) {
        out.code = CURLE_URL_MALFORMAT;
        return out;
    }
    const int port = hop.port == 0 ? (hop.tls ? 443 : 80) : hop.port;
    const std::string scheme = hop.tls ? "https://" : "http://";
    const std::string url = scheme + hop.host + ":" + std::to_string(port) + "/";
    // Only plain http goes through the proxy, as an "http=" proxy list does.
    const bool proxied = !hop.tls && !TrimBlanks(request.proxy.bytes()).empty();
    std::string target = RequestTargetOf(hop.target);
    if (proxied) {
        // Appended piece by piece: GCC 12 at -O3 misreads `":" + std::to_string(port)` as an overlapping copy
        // (-Wrestrict) and fails a -Werror build.
        std::string origin = scheme + hop.host;
        if (port != 80) {
            origin += ':';
            origin += std::to_string(port);
        }
        target.insert(0, origin);
    }

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
    if (!listed) {
        out.opened = false;
        return out;
    }

    CURL* h = easy.get();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_REQUEST_TARGET, target.c_str());
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    if (!request.userAgent.empty())
        curl_easy_setopt(h, CURLOPT_USERAGENT, request.userAgent.c_str());
    const std::string proxy(TrimBlanks(request.proxy.bytes()));
    // An empty proxy also keeps libcurl from taking one from the environment.
    curl_easy_setopt(h, CURLOPT_PROXY, proxied ? proxy.c_str() : "");
    curl_easy_setopt(h, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
    curl_easy_setopt(h, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    if (post) {
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
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &out.sink);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeaderLine);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &out.sink);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &out.sink);

    if (!multi.Attach(h)) {
        out.opened = false;
        return out;
    }
    out.code = CURLE_AGAIN;
    int running = 1;
    while (running) {
        if (!KeepGoing(hooks)) {
            out.code = CURLE_ABORTED_BY_CALLBACK;
            break;
        }
        if (curl_multi_perform(multi.get(), &running) != CURLM_OK) {
            out.code = CURLE_RECV_ERROR;
            break;
        }
        if (running && curl_multi_poll(multi.get(), nullptr, 0, kWakeUpMilliseconds, nullptr) != CURLM_OK) {
            out.code = CURLE_RECV_ERROR;
            break;
        }
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) {
        if (message->msg == CURLMSG_DONE)
            out.code = message->data.result;
    }
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &out.status);
    curl_easy_getinfo(h, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &out.announced);
    multi.Detach();
    // An interim head alone is no response.
    if (out.sink.headComplete && out.sink.head.size() > 9 && out.sink.head.compare(0, 5, "HTTP/") == 0) {
        const auto space = out.sink.head.find(' ');
        if (space != std::string::npos && space + 1 < out.sink.head.size() && out.sink.head[space + 1] == '1')
            out.sink.headComplete = false;
    }
    return out;
}

// The value of the first `name` line (lower-case) of a response head, empty when it has none.
std::string HeadValueOf(const std::string& head, std::string_view name) {
    std::size_t start = 0;
    while (start < head.size()) {
        std::size_t end = head.find("\r\n", start);
        if (end == std::string::npos)
            end = head.size();
        const std::string_view line(head.data() + start, end - start);
        if (HeaderNameOf(line) == name)
            return std::string(TrimBlanks(line.substr(line.find(':') + 1)));
        start = end + 2;
    }
    return {};
}

std::string SecondsText(std::chrono::milliseconds duration) {
    const auto ms = duration.count();
    if (ms % 1000 == 0)
        return std::to_string(ms / 1000) + " s";
    std::string text = std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 + 1000).substr(1);
    while (text.back() == '0')
        text.pop_back();
    return text + " s";
}

std::string SizeText(std::size_t bytes) {
    if (bytes >= (std::size_t{1} << 20) && bytes % (std::size_t{1} << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= 1024 && bytes % 1024 == 0)
        return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}

// Where a redirect leads; false when it cannot be followed. A relative Location is resolved against the
// address that was asked for, which libcurl does not know in full because we hand it the request target
// apart from the URL.
bool NextHop(const std::string& location, long status, Hop& hop) {
    CurlUrl url;
    if (!url || location.empty())
        return false;
    const std::string base = std::string(hop.tls ? "https://" : "http://") + hop.host + ":" +
                             std::to_string(hop.port == 0 ? (hop.tls ? 443 : 80) : hop.port) +
                             RequestTargetOf(hop.target);
    curl_url_set(url.get(), CURLUPART_URL, base.c_str(), CURLU_PATH_AS_IS);
    if (curl_url_set(url.get(), CURLUPART_URL, location.c_str(), CURLU_ALLOW_SPACE) != CURLUE_OK)
        return false;
    const std::string scheme = LowerAscii(url.Part(CURLUPART_SCHEME));
    if (scheme != "http" && scheme != "https")
        return false;
    Hop next;
    next.tls = scheme == "https";
    next.host = LowerAscii(url.Part(CURLUPART_HOST));
    const std::string port = url.Part(CURLUPART_PORT, CURLU_DEFAULT_PORT);
    next.port = port.empty() ? 0 : std::atoi(port.c_str());
    next.target = url.Part(CURLUPART_PATH);
    const std::string query = url.Part(CURLUPART_QUERY);
    if (!query.empty())
        next.target += "?" + query;
    next.method = hop.method;
    next.body = hop.body;
    next.keepsCallerCookies = hop.keepsCallerCookies && next.host == hop.host;
    next.keepsBodyHeaders = hop.keepsBodyHeaders;
    // As browsers do: 301, 302 and 303 turn a POST into a GET without a body; 307 and 308 repeat it.
    if (next.method == "POST" && (status == 301 || status == 302 || status == 303)) {
        next.method = "GET";
        next.body.clear();
        next.keepsBodyHeaders = false;
    }
    hop = std::move(next);
    return true;
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
        std::vector<std::string> lines;
        for (const auto& line : request.headerLines) {
            const std::string name = HeaderNameOf(line);
            if (!hop.keepsCallerCookies && name == "cookie")
                continue;
            if (!hop.keepsBodyHeaders && (name == "content-type" || name == "content-length"))
                continue;
            lines.push_back(line);
        }
        if (hooks.cookiesFor)
            MergeJarCookies(lines, hooks.cookiesFor(Text(hop.host)).bytes());

        auto timeLeft = std::chrono::milliseconds::zero();
        if (timed) {
            timeLeft = std::chrono::duration_cast<std::chrono::milliseconds>(until - Steady::now());
            // A redirect chain that used up the whole deadline ends like a transfer that did.
            if (timeLeft <= std::chrono::milliseconds::zero()) {
                result.verdict = Answer::Failed(base::FailureKind::Deadline,
                                                "deadline of " + SecondsText(request.deadline) + " passed");
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
        const bool redirected = outcome.status == 301 || outcome.status == 302 || outcome.status == 303 ||
                                outcome.status == 307 || outcome.status == 308;
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

Answer JudgeTransfer(const TransferFacts& facts) {
    using base::FailureKind;
    Answer verdict;
    verdict.status = facts.status;
    verdict.curlCode = facts.curlCode;
    const auto fail = [&verdict](FailureKind kind, std::string reason) {
        verdict.failure = kind;
        verdict.reason = std::move(reason);
        return verdict;
    };
    switch (static_cast<CURLcode>(facts.curlCode)) {
    case CURLE_OK:
        break;
    case CURLE_COULDNT_CONNECT:
        return fail(FailureKind::Refused, "connection refused");
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return fail(FailureKind::Unresolved, "could not resolve host");
    case CURLE_OPERATION_TIMEDOUT:
        return fail(FailureKind::Deadline, facts.deadline > std::chrono::milliseconds::zero()
                                               ? "deadline of " + SecondsText(facts.deadline) + " passed"
                                               : std::string("timed out"));
    case CURLE_FILESIZE_EXCEEDED:
        return fail(FailureKind::TooLarge, "answer over " + SizeText(facts.maxBody));
    case CURLE_WRITE_ERROR:
        if (facts.overCap)
            return fail(FailureKind::TooLarge, "answer over " + SizeText(facts.maxBody));
        return fail(FailureKind::Stopped, "stopped");
    case CURLE_ABORTED_BY_CALLBACK:
        return fail(FailureKind::Stopped, "stopped");
    case CURLE_PARTIAL_FILE:
        if (facts.announced >= 0)
            return fail(FailureKind::CutOff, "answer cut off after " + std::to_string(facts.received) + " of " +
                                                 std::to_string(facts.announced) + " bytes");
        return fail(FailureKind::CutOff, "answer cut off after " + std::to_string(facts.received) + " bytes");
    case CURLE_GOT_NOTHING:
        return fail(FailureKind::CutOff, "connection closed without an answer");
    default:
        return fail(FailureKind::Other, LowerAscii(curl_easy_strerror(static_cast<CURLcode>(facts.curlCode))));
    }
    if (!facts.headComplete || facts.status == 0)
        return fail(FailureKind::Other, "no HTTP answer");
    // libcurl accepts a body that ends early when the server closes a connection it said it would keep;
    // the length it announced is the only witness.
    const bool hasBody = facts.status >= 200 && facts.status != 204 && facts.status != 304;
    if (hasBody && facts.announced >= 0 && facts.received < static_cast<std::size_t>(facts.announced))
        return fail(FailureKind::CutOff, "answer cut off after " + std::to_string(facts.received) + " of " +
                                             std::to_string(facts.announced) + " bytes");
    if (facts.status >= 200 && facts.status < 300) {
        verdict.ok = true;
        return verdict;
    }
    if (facts.redirectNotFollowed && facts.status >= 300 && facts.status < 400) {
        verdict.ok = true;
        return verdict;
    }
    if ((facts.status == 429 || facts.status == 503) && !facts.retryAfter.empty())
        verdict.retryAfter = ParseRetryAfter(facts.retryAfter, facts.now);
    return fail(FailureKind::HttpStatus, "HTTP " + std::to_string(facts.status));
}

std::optional<std::chrono::seconds> ParseRetryAfter(std::string_view value, std::time_t now) {
    value = TrimBlanks(value);
    if (value.empty())
        return std::nullopt;
    if (std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        long long seconds = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
        // Too large to hold is as good as forever; the caller caps what it waits.
        if (error == std::errc::result_out_of_range)
            seconds = 1LL << 40;
        else if (error != std::errc() || end != value.data() + value.size())
            return std::nullopt;
        return std::chrono::seconds(seconds);
    }
    const std::string date(value);
    const std::time_t when = curl_getdate(date.c_str(), nullptr);
    if (when == -1)
        return std::nullopt;
    return std::chrono::seconds(when > now ? when - now : 0);
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
