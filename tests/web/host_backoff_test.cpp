// How long a host that said "too many requests" is left alone.
#include "web/host_backoff.h"

#include <gtest/gtest.h>

namespace rankmoth::web {
namespace {

using namespace std::chrono_literals;

TEST(HostBackoff, RetryAfterWinsOtherwiseTheWaitDoublesUpToSixHoursAndQuietForgives) {
    const base::Clock::time_point t0 = base::Clock::from_time_t(1765000000);
    const auto waited = [&](const HostBackoff& b, base::Clock::time_point at) {
        return std::chrono::duration_cast<std::chrono::seconds>(b.blockedUntil - at).count();
    };
    HostBackoff b{"market.test:80"};
    b = Struck(b, 429, 120s, t0, 0.0);
    EXPECT_EQ(waited(b, t0), 120);
    EXPECT_EQ(b.strikes, 1);
    EXPECT_EQ(b.lastStatus, 429);
    b = Struck(b, 503, std::nullopt, t0 + 5min, 0.0); // second strike: 120 s
    EXPECT_EQ(waited(b, t0 + 5min), 120);
    b = Struck(b, 503, std::nullopt, t0 + 10min, 0.1); // third: 240 s, 10% longer
    EXPECT_EQ(waited(b, t0 + 10min), 264);
    for (int n = 0; n < 20; ++n)
        b = Struck(b, 503, std::nullopt, t0 + 11min + n * 1min, -0.5); // jitter is held to 10%
    EXPECT_EQ(waited(b, t0 + 30min), 6 * 3600 * 9 / 10);
    // Half an hour without a strike and the count starts again; an earlier, longer block still stands.
    const auto later = t0 + 30min + 31min;
    const HostBackoff forgiven = Struck(b, 429, std::nullopt, later, 0.0);
    EXPECT_EQ(forgiven.strikes, 1);
    EXPECT_EQ(forgiven.blockedUntil, b.blockedUntil);
    EXPECT_EQ(waited(Struck(HostBackoff{}, 429, std::nullopt, later, 0.0), later), 60);
}

} // namespace
} // namespace rankmoth::web
