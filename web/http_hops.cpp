#include "web/http_hops.h"

#include "web/curl_handle.h"
#include "web/header_text.h"

#include <algorithm>
#include <cstdlib>

namespace rankmoth::web {

std::string LowerAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

std::string HeaderNameOf(std::string_view line) {
    const auto colon = line.find(':');
    return colon == std::string_view::npos ? std::string() : LowerAscii(TrimBlanks(line.substr(0, colon)));
}

bool UsableHost(const std::string& host) {
    if (host.empty() || host.size() > 253)
        return false;
    if (host.front() == '[')
        return host.back() == ']' && host.find_first_not_of("0123456789abcdef:.[]") == std::string::npos;
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
    });
}

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

bool IsRedirectStatus(long status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::vector<std::string> HeaderLinesForHop(const std::vector<std::string>& callerLines, const Hop& hop,
                                           const std::string& jarCookies) {
    std::vector<std::string> lines;
    for (const auto& line : callerLines) {
        const std::string name = HeaderNameOf(line);
        if (!hop.keepsCallerCookies && name == "cookie")
            continue;
        if (!hop.keepsBodyHeaders && (name == "content-type" || name == "content-length"))
            continue;
        lines.push_back(line);
    }
    MergeJarCookies(lines, jarCookies);
    return lines;
}

HopAddress HopAddressOf(const Hop& hop, std::string_view proxy) {
    HopAddress address;
    if (!UsableHost(hop.host) || hop.port < 0 || hop.port > 65535)
        return address;
    address.usable = true;
    const int port = hop.port == 0 ? (hop.tls ? 443 : 80) : hop.port;
    const std::string scheme = hop.tls ? "https://" : "http://";
    address.url = scheme + hop.host + ":" + std::to_string(port) + "/";
    address.proxied = !hop.tls && !TrimBlanks(proxy).empty();
    address.target = RequestTargetOf(hop.target);
    if (address.proxied) {
        // Appended piece by piece: GCC 12 at -O3 misreads `":" + std::to_string(port)` as an overlapping copy
        // (-Wrestrict) and fails a -Werror build.
        std::string origin = scheme + hop.host;
        if (port != 80) {
            origin += ':';
            origin += std::to_string(port);
        }
        address.target.insert(0, origin);
    }
    return address;
}

} // namespace rankmoth::web
