#pragma once

#include "base/eventpump.h"

namespace rankmoth::shell {

// The event pump of the window thread: waits run a nested event loop so the windows stay responsive and
// event actions can nest inside a wait. Called from any other thread, a wait is a plain sleep.
class QtEventPump final : public base::EventPump {
public:
    void PumpingWait(std::chrono::microseconds duration) override;
    void DispatchPending() override;
    void WaitForDoneOrEvents(const base::DoneSignal& done, std::chrono::milliseconds limit) override;
    std::chrono::milliseconds Now() override;

    // Longest stretch the window thread blocks without looking at its events.
    static constexpr std::chrono::milliseconds kSlice{10};
};

} // namespace rankmoth::shell
