#include "web/host_backoff.h"

#include <algorithm>
#include <cmath>

namespace rankmoth::web {

HostBackoff Struck(HostBackoff previous, long status, std::optional<std::chrono::seconds> retryAfter,
                   base::Clock::time_point now, double jitter) {
    HostBackoff next = std::move(previous);
    if (next.strikes > 0 && now - next.lastStrike >= kStrikesForgivenAfter)
        next.strikes = 0;
    ++next.strikes;
    next.lastStatus = status;
    next.lastStrike = now;
    std::chrono::duration<double> wait;
    if (retryAfter) {
        wait = *retryAfter;
    } else {
        const double doubled = static_cast<double>(kFirstBackoff.count()) * std::ldexp(1.0, std::min(next.strikes - 1, 30));
        const double capped = std::min(doubled, static_cast<double>(std::chrono::seconds(kLongestBackoff).count()));
        wait = std::chrono::duration<double>(capped * (1.0 + std::clamp(jitter, -0.1, 0.1)));
    }
    next.blockedUntil = std::max(next.blockedUntil, now + std::chrono::duration_cast<base::Clock::duration>(wait));
    return next;
}

} // namespace rankmoth::web
