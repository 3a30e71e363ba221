#pragma once

#include "base/pass_outcome.h"

#include <chrono>
#include <optional>
#include <string>

namespace rankmoth::web {

// How long a host that said "too many requests" is left alone, kept between runs: a timer that fires every
// hour must not knock again on a marketplace that asked for a day's rest.
struct HostBackoff {
    std::string host;                         // "host:port"
    base::Clock::time_point blockedUntil{};   // no request goes before this
    int strikes = 0;                          // 429s and 503s without a quiet half hour between
    long lastStatus = 0;
    base::Clock::time_point lastStrike{};
};

// The statuses that strike: a host overloaded or rationing its answers.
constexpr bool IsBackoffStatus(long status) {
    return status == 429 || status == 503;
}

inline constexpr std::chrono::seconds kFirstBackoff{60};
inline constexpr std::chrono::hours kLongestBackoff{6};
// Strikes further apart than this are forgiven: the host has been answering in between.
inline constexpr std::chrono::minutes kStrikesForgivenAfter{30};

// The backoff after a 429 or 503 at `now`: what Retry-After asked for, or without it 60 s doubling per strike
// up to 6 h, stretched or shrunk by `jitter` (-0.1..0.1) so that machines struck together do not return
// together.
HostBackoff Struck(HostBackoff previous, long status, std::optional<std::chrono::seconds> retryAfter,
                   base::Clock::time_point now, double jitter);

} // namespace rankmoth::web
