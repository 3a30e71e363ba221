#include "web/cookie_jar.h"

#include "web/header_text.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>

namespace rankmoth::web {

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The expiry the attributes of `data` ask for: 0 for none, a time in the past for "delete now".
std::time_t ExpiryOf(std::string_view data, std::time_t now) {
    std::time_t expires = 0;
    bool haveMaxAge = false;
    std::size_t at = data.find(';');
    while (at != std::string_view::npos) {
        const std::size_t next = data.find(';', at + 1);
        const std::string_view attribute =
            TrimBlanks(data.substr(at + 1, next == std::string_view::npos ? std::string_view::npos : next - at - 1));
        const std::size_t eq = attribute.find('=');
        const std::string_view key = TrimBlanks(attribute.substr(0, eq));
        const std::string value(eq == std::string_view::npos ? std::string_view{}
                                                             : TrimBlanks(attribute.substr(eq + 1)));
        if (EqualsIgnoringCase(key, "max-age") && !value.empty()) {
            // Max-Age outranks Expires whatever their order.
            long long seconds = 0;
            const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), seconds);
            // A number beyond the range is left unread: its sign alone says whether it lives or goes.
            if (ec == std::errc::result_out_of_range)
                seconds = value.front() == '-' ? -1 : LLONG_MAX;
            if (ec == std::errc() || ec == std::errc::result_out_of_range) {
                haveMaxAge = true;
                expires = seconds <= 0 ? 1 : (seconds > (1LL << 40) ? 0 : now + static_cast<std::time_t>(seconds));
            }
        } else if (EqualsIgnoringCase(key, "expires") && !haveMaxAge && !value.empty()) {
            const std::time_t when = curl_getdate(value.c_str(), nullptr);
            if (when != -1)
                expires = when <= 0 ? 1 : when;
        }
        at = next;
    }
    return expires;
}

bool Expired(std::time_t expires, std::time_t now) {
    return expires != 0 && expires <= now;
}

} // namespace

std::vector<SetCookieLine> SetCookieLines(const Text& headers) {
    static const Text marker = Text("Set-Cookie: ");
    std::vector<SetCookieLine> lines;
    if (!Contains(headers, marker, false))
        return lines;
    ForEachHeaderLine(headers.bytes(), [&](std::string_view line) {
        if (!Contains(Text(line), marker, false))
            return;
        // The marker is taken to open the line, as in every response we read.
        const std::string_view rest = line.size() > marker.size() ? line.substr(marker.size()) : std::string_view{};
        const std::size_t eq = rest.find('=');
        const std::size_t semicolon = rest.find(';');
        SetCookieLine cut;
        // A line without "=" names no cookie, but still counts in a returned cookie list.
        if (eq != std::string_view::npos) {
            cut.name = Text(TrimBlanks(rest.substr(0, eq)));
            cut.data = Text(rest.substr(eq + 1));
        }
        cut.listed = semicolon == std::string_view::npos ? Text() : Text(rest.substr(0, semicolon));
        lines.push_back(std::move(cut));
    });
    return lines;
}

Text CookieValueOf(const Text& data) {
    const std::string_view all(data.bytes());
    return Text(TrimBlanks(all.substr(0, all.find(';'))));
}

void CookieJar::Store(const Text& host, const Text& name, const Text& data) {
    // Browsers refuse a cookie larger than this rather than cut it, so a server cannot count on one.
    constexpr std::size_t kLargestCookie = 4096;
    if (name.empty() || name.size() + CookieValueOf(data).size() > kLargestCookie)
        return;
    const std::time_t now = std::time(nullptr);
    const std::time_t expires = ExpiryOf(data.bytes(), now);
    const std::string key = ToLowerAscii(host).bytes();
    std::lock_guard lock(mutex_);
    auto& cookies = byHost_[key];
    const auto it = std::find_if(cookies.begin(), cookies.end(), [&](const Cookie& c) { return c.name == name; });
    if (Expired(expires, now)) {
        if (it != cookies.end())
            cookies.erase(it);
        return;
    }
    if (it != cookies.end()) {
        it->data = data;
        it->expires = expires;
        return;
    }
    // A server that sets a new cookie on every answer would otherwise grow every later request's Cookie line
    // without end; the dead go first, then the oldest, as browsers keep a host's cookies.
    constexpr std::size_t kCookiesPerHost = 50;
    if (cookies.size() >= kCookiesPerHost)
        std::erase_if(cookies, [now](const Cookie& c) { return Expired(c.expires, now); });
    if (cookies.size() >= kCookiesPerHost)
        cookies.erase(cookies.begin(),
                      cookies.begin() + static_cast<std::ptrdiff_t>(cookies.size() - kCookiesPerHost + 1));
    cookies.push_back({name, data, expires});
}

void CookieJar::StoreFromHeaders(const Text& host, const Text& headers) {
    for (const auto& line : SetCookieLines(headers))
        Store(host, line.name, line.data);
}

Text CookieJar::HeaderValueFor(const Text& host) const {
    const std::time_t now = std::time(nullptr);
    std::lock_guard lock(mutex_);
    const auto it = byHost_.find(ToLowerAscii(host).bytes());
    if (it == byHost_.end())
        return {};
    std::string value;
    for (const auto& cookie : it->second) {
        if (Expired(cookie.expires, now))
            continue;
        if (!value.empty())
            value += "; ";
        value += cookie.name.bytes();
        value += '=';
        value += CookieValueOf(cookie.data).bytes();
    }
    return Text(value);
}

Text CookieJar::DataOf(const Text& host, const Text& name) const {
    const std::time_t now = std::time(nullptr);
    std::lock_guard lock(mutex_);
    const auto it = byHost_.find(ToLowerAscii(host).bytes());
    if (it == byHost_.end())
        return {};
    for (const auto& cookie : it->second) {
        if (cookie.name == name && !Expired(cookie.expires, now))
            return cookie.data;
    }
    return {};
}

void CookieJar::Clear() {
    std::lock_guard lock(mutex_);
    byHost_.clear();
}

CookieJar& ProcessCookieJar() {
    static CookieJar jar;
    return jar;
}

} // namespace rankmoth::web
