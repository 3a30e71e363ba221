#pragma once

#include <chrono>
#include <thread>

namespace rankmoth::testing {

// Polls a condition that another thread or process makes true, for at most `limit`. Only for waits
// on something outside the test's control; a test that owns the event loop processes it instead.
template <typename Condition>
bool PollUntil(Condition&& condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

} // namespace rankmoth::testing
