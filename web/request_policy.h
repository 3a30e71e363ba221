#pragma once

#include "web/answer.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace rankmoth::web {

// How a headless front end spaces and repeats its requests. The default is the window's behaviour: no gap,
// no retry, no wait of any kind.
struct RequestPolicy {
    // Between the end of one request and the start of the next (none before the first).
    std::chrono::milliseconds gap{0};
    // Further attempts of a request whose answer was judged failed.
    int retries = 0;
    // The wait before retry n is retryWaits[n-1]; the last entry serves every retry beyond the list.
    std::vector<std::chrono::milliseconds> retryWaits{std::chrono::seconds(1), std::chrono::seconds(3)};
    // How to wait; null sleeps the calling thread. A test hands in a recorder, a front end that must react to
    // Ctrl-C during a long wait hands in a wait that wakes on its stop flag.
    std::function<void(std::chrono::milliseconds)> sleep;
    // A 429 or 503 that names a Retry-After is retried after that wait instead of retryWaits; one that asks
    // for longer than this fails at once with that reason, as waiting less would only be refused again.
    std::chrono::seconds longestRetryAfter{600};
    // After this many attempts in a row that could not connect (refused, or the name not resolved) every
    // further request fails without being sent: the host is gone for this run. 0 never gives up.
    int unreachableAttemptsToGiveUp = 0;
    // Told of every failed attempt's answer, retries included; null tells no one. A front end that keeps a
    // host's backoff between runs learns of a 429 or 503 here.
    std::function<void(const Answer&)> failed;
};

// Applies a RequestPolicy to a run of requests made one after another.
class RequestPacer {
public:
    explicit RequestPacer(RequestPolicy policy = {});

    // Makes one request: `attempt` sends it and returns its judged answer. Failed answers are tried again as
    // the policy allows; `stop` (may be null) is consulted before every wait, and a stop gives up the
    // remaining retries. Returns the answer of the last attempt, or a failure saying why none was sent.
    Answer Send(const std::function<Answer()>& attempt, const std::function<bool()>& stop);

    // The host stopped answering connections; what Send returns then says why.
    bool hostGone() const { return !goneReason_.empty(); }

    // Attempts made so far, retries included.
    int attempts() const { return attempts_; }

private:
    void Wait(std::chrono::milliseconds duration);

    RequestPolicy policy_;
    int attempts_ = 0;
    bool sentBefore_ = false;
    int unreachableInARow_ = 0;
    std::string goneReason_;
};

} // namespace rankmoth::web
