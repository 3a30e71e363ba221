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

Answer RequestPacer::Send(const std::function<Answer()>& attempt, const std::function<bool()>& stop) {
    using base::FailureKind;
    const auto stopped = [&] { return stop && stop(); };
    if (hostGone())
        return Answer::Failed(FailureKind::Refused, goneReason_);
    std::chrono::milliseconds asked{-1};
    for (int n = 0;; ++n) {
        if (n > 0) {
            const auto& waits = policy_.retryWaits;
            const std::size_t at = static_cast<std::size_t>(n - 1);
            const auto wait = asked >= std::chrono::milliseconds::zero() ? asked
                              : waits.empty()                            ? std::chrono::milliseconds::zero()
                                              : waits[at < waits.size() ? at : waits.size() - 1];
            Wait(wait);
            if (stopped())
                return Answer::Failed(FailureKind::Stopped, "stopped");
        } else if (sentBefore_) {
            Wait(policy_.gap);
        }
        sentBefore_ = true;
        ++attempts_;
        Answer answer = attempt();
        if (answer.ok) {
            unreachableInARow_ = 0;
            return answer;
        }
        if (policy_.failed)
            policy_.failed(answer);
        const bool unreachable = answer.failure == FailureKind::Refused || answer.failure == FailureKind::Unresolved;
        unreachableInARow_ = unreachable ? unreachableInARow_ + 1 : 0;
        if (policy_.unreachableAttemptsToGiveUp > 0 && unreachableInARow_ >= policy_.unreachableAttemptsToGiveUp) {
            goneReason_ = answer.reason + " on " + std::to_string(unreachableInARow_) + " requests in a row";
            answer.reason = goneReason_;
            return answer;
        }
        if (n >= policy_.retries || stopped())
            return answer;
        asked = std::chrono::milliseconds{-1};
        if (answer.retryAfter) {
            if (*answer.retryAfter > policy_.longestRetryAfter) {
                answer.reason += " asking to wait " + std::to_string(answer.retryAfter->count()) + " s, over the " +
                                 std::to_string(policy_.longestRetryAfter.count()) + " s a retry may wait";
                return answer;
            }
            asked = *answer.retryAfter;
        }
    }
}

} // namespace rankmoth::web
