#pragma once

#include "base/text.h"

#include <string>
#include <string_view>
#include <vector>

namespace rankmoth::web {

// The pieces of a request's journey that need no transfer: where each hop goes, what it carries, and how a
// redirect turns into the next hop. Kept apart from libcurl so that they can be checked case by case.

// One request on its way: the first one as asked for, then each redirect.
struct Hop {
    std::string method;
    bool tls = false;
    std::string host;
    int port = 80; // 0: the scheme's default
    std::string target;
    Bytes body;
    bool keepsCallerCookies = true; // false once a redirect led to another host
    bool keepsBodyHeaders = true;   // false once a redirect turned a POST into a GET
};

std::string LowerAscii(std::string_view s);
// The header name of a line, lower-cased; empty when the line has no colon.
std::string HeaderNameOf(std::string_view line);
// Host names go into a URL that libcurl parses, so anything that could change its meaning is refused.
bool UsableHost(const std::string& host);
// The request target of a path: blanks and control bytes escaped, a leading "/" added when missing.
std::string RequestTargetOf(const std::string& path);
// Merges the jar's cookies for the hop into the first Cookie line of `lines` (the caller's own values win),
// or adds a Cookie line when there is none, so that exactly one goes out.
void MergeJarCookies(std::vector<std::string>& lines, const std::string& jar);
// The value of the first `name` line (lower-case name) of a response head, empty when it has none.
std::string HeadValueOf(const std::string& head, std::string_view name);
// Where a redirect of `status` to `location` leads from `hop`; false (and `hop` untouched) when it cannot be
// followed.
bool NextHop(const std::string& location, long status, Hop& hop);
// The statuses that carry a Location to follow.
bool IsRedirectStatus(long status);
// The caller's header lines as they go out on `hop`: the Cookie line stays only while the hop is on the
// caller's host, the body's type and length only while it is still a POST; then the jar's cookies are merged in.
std::vector<std::string> HeaderLinesForHop(const std::vector<std::string>& callerLines, const Hop& hop,
                                           const std::string& jarCookies);

// Where libcurl connects for a hop and what it writes on the request line.
struct HopAddress {
    bool usable = false;   // false: the host or port cannot go into a URL
    std::string url;       // scheme, host and port; the path travels as `target`
    std::string target;    // absolute-form when the hop goes through the proxy
    bool proxied = false;
};
// Only plain http goes through the proxy, as an "http=" proxy list does; a blank proxy means none.
HopAddress HopAddressOf(const Hop& hop, std::string_view proxy);

} // namespace rankmoth::web
