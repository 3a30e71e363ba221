#pragma once

#include "base/text.h"

#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace rankmoth::web {

// One "Set-Cookie: " line of a response head, cut the way the request operations store it.
struct SetCookieLine {
    Text name;   // text before the first "=", blanks trimmed; empty when the line names no cookie
    Text data;   // all text after it, attributes included
    Text listed; // text before the line's first ";" (empty when it has none), for returned cookie lists
};

// The "Set-Cookie: " lines of a raw header text (LF ends a line, a CR before it is dropped), in order.
std::vector<SetCookieLine> SetCookieLines(const Text& headers);

// The cookie store every request of the process shares, keyed by host. We keep our own instead of
// libcurl's shared cookie engine because that engine must not be used by concurrent threads, and because
// the Cookie header we send has to be the one we compose. Safe to use from any thread.
class CookieJar {
public:
    // Stores (or replaces) one cookie for `host` (compared without regard to ASCII case). `data` is the value
    // with its attributes ("b; path=/"); an expiry in the past ("Max-Age=0", an old "expires") deletes it.
    // A cookie over 4 KB (name and value) is refused; a host keeps at most 50, dropping the oldest.
    void Store(const Text& host, const Text& name, const Text& data);
    // Stores every cookie of a raw header text for `host`.
    void StoreFromHeaders(const Text& host, const Text& headers);
    // "a=b; c=d": the live cookies of `host` as a Cookie header value, in the order they were first set;
    // empty when there are none.
    Text HeaderValueFor(const Text& host) const;
    // The stored data of one cookie, empty when there is none.
    Text DataOf(const Text& host, const Text& name) const;
    void Clear();

private:
    struct Cookie {
        Text name;
        Text data;
        std::time_t expires = 0; // 0: lives as long as the process
    };
    mutable std::mutex mutex_;
    std::map<std::string, std::vector<Cookie>> byHost_;
};

// The process-wide jar the composition root hands to every WebEnv.
CookieJar& ProcessCookieJar();

// The value part of a cookie's data: the text before its first ";", with ASCII blanks trimmed.
Text CookieValueOf(const Text& data);

} // namespace rankmoth::web
