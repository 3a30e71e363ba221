#pragma once

#include <chrono>
#include <functional>
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
};

// Applies a RequestPolicy to a run of requests made one after another.
class RequestPacer {
public:
    explicit RequestPacer(RequestPolicy policy = {});

    // Makes one request: `attempt` sends it and says whether the answer is good. Failed answers are tried
    // again as the policy allows; `stop` (may be null) is consulted before every wait, and a stop gives up
    // the remaining retries. True when some attempt succeeded.
    bool Send(const std::function<bool()>& attempt, const std::function<bool()>& stop);

    // Attempts made so far, retries included.
    int attempts() const { return attempts_; }

private:
    void Wait(std::chrono::milliseconds duration);

    RequestPolicy policy_;
    int attempts_ = 0;
    bool sentBefore_ = false;
};

} // namespace rankmoth::web
