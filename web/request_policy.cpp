#include "web/request_policy.h"

#include <thread>

namespace rankmoth::web {

RequestPacer::RequestPacer(RequestPolicy policy) : policy_(std::move(policy)) {}

void RequestPacer::Wait(std::chrono::milliseconds duration) {
    if (duration <= std::chrono::milliseconds::zero())
        return;
    if (policy_.sleep)
        policy_.sleep(duration);
    else
        std::this_thread::sleep_for(duration);
}

bool RequestPacer::Send(const std::function<bool()>& attempt, const std::function<bool()>& stop) {
    const auto stopped = [&] { return stop && stop(); };
    for (int n = 0;; ++n) {
        if (n > 0) {
            const auto& waits = policy_.retryWaits;
            const std::size_t at = static_cast<std::size_t>(n - 1);
            const auto wait =
                waits.empty() ? std::chrono::milliseconds::zero() : waits[at < waits.size() ? at : waits.size() - 1];
            Wait(wait);
            if (stopped())
                return false;
        } else if (sentBefore_) {
            Wait(policy_.gap);
        }
        sentBefore_ = true;
        ++attempts_;
        if (attempt())
            return true;
        if (n >= policy_.retries || stopped())
            return false;
    }
}

} // namespace rankmoth::web
