#pragma once

#include "base/request_failure.h"
#include "base/text.h"

#include <chrono>
#include <optional>
#include <string>

namespace rankmoth::web {

// A request's answer as a caller that must tell failure from success sees it. Only an answer that arrived
// whole, with a 2xx status (or a redirect the caller chose not to follow), is `ok`; everything else carries
// the kind and a short reason, and `body` holds whatever arrived before the failure.
struct Answer {
    Bytes body{};
    bool ok = false;
    base::FailureKind failure = base::FailureKind::Other; // meaningful only when !ok
    std::string reason{};                                 // "HTTP 503", "connection refused", ...; empty when ok
    long status = 0;                                      // HTTP status of the final response; 0 when none came
    int curlCode = 0;                                     // the transfer's CURLcode
    // What a 429 or 503 asked for in Retry-After, already capped by the parser; unset when it asked nothing.
    std::optional<std::chrono::seconds> retryAfter{};

    // A 200 answer with `body`, for transports of tests and simulations that cannot fail in transit.
    static Answer Whole(Bytes body) {
        Answer a;
        a.body = std::move(body);
        a.ok = true;
        a.status = 200;
        return a;
    }
    static Answer Failed(base::FailureKind kind, std::string why) {
        Answer a;
        a.failure = kind;
        a.reason = std::move(why);
        return a;
    }
};

} // namespace rankmoth::web
