#include "web/notice_text.h"

#include "web/codecs.h"
#include "web/curl_global.h"
#include "web/notice_payload.h"

#include <curl/curl.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace rankmoth::web {

namespace {

// A notice page is a few kilobytes; anything far beyond that is not one, and is not worth holding.
constexpr std::size_t kMaxBody = 16u << 20;
constexpr long kConnectTimeoutMs = 15000;
constexpr long kTotalTimeoutMs = 30000;

struct CurlCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct SlistCleanup {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

std::size_t AppendBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* body = static_cast<Bytes*>(user);
    const std::size_t n = size * count;
    if (body->size() + n > kMaxBody)
        return 0; // ends the transfer; what was read stays
    body->append(data, n);
    return n;
}

// The address as libcurl takes it: UTF-8, with spaces, controls and non-ASCII bytes percent-encoded the way
// a browser sends them.
std::string AddressForCurl(const Text& address) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string utf8 = GbkToUtf8(TrimSpaces(address));
    std::string out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b >= 0x7F) {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        } else {
            out += c;
        }
    }
    return out;
}

// The hosts the proxy settings leave out, with the loopback addresses added: a page on this machine is
// never fetched through a proxy.
std::string NoProxyHosts() {
    const char* env = std::getenv("no_proxy");
    if (!env || !*env)
        env = std::getenv("NO_PROXY");
    const std::string configured = env ? env : "";
    if (configured == "*")
        return configured;
    return configured.empty() ? "localhost,127.0.0.1,::1" : configured + ",localhost,127.0.0.1,::1";
}

// One plain GET: HTTP/1.0, "Accept: */*" and nothing else the server could vary on, so every read comes
// fresh from the server. The bytes that arrived before a broken-off read are kept.
Bytes FetchPlain(const Text& address) {
    EnsureCurlInitialised();
    Bytes body;
    std::unique_ptr<CURL, CurlCleanup> curl(curl_easy_init());
    if (!curl)
        return body;
    std::unique_ptr<curl_slist, SlistCleanup> headers(curl_slist_append(nullptr, "Accept: */*"));
    const std::string url = AddressForCurl(address);
    const std::string noProxy = NoProxyHosts();
    CURL* h = curl.get();
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(h, CURLOPT_NOPROXY, noProxy.c_str());
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, kConnectTimeoutMs);
    curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, kTotalTimeoutMs);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &AppendBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &body);
    // The result is not looked at: a failed fetch leaves the body empty, a broken-off one keeps its part.
    curl_easy_perform(h);
    return body;
}

} // namespace

Text NoticeText::SplitNotice(const Text& address, std::vector<Text>& fields, int fromUtf8) {
    return SplitNoticePayload(NoticePayload(address, fromUtf8), fields);
}

Text NoticeText::NoticePayload(const Text& address, int fromUtf8) {
    return NoticePayloadOf(FetchPlain(address), fromUtf8);
}

Text NoticeText::Between(const Text& text, const Text& left, const Text& right) {
    return NoticeBetween(text, left, right);
}

bool NoticeText::Contains(const Text& text, const Text& part) {
    return rankmoth::Contains(text, part, true);
}

} // namespace rankmoth::web
