#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace rankmoth::base {

// A one-shot completion flag that a worker sets and the window thread waits on. Shared by both sides
// (std::shared_ptr), so an abandoned worker can still set it safely.
class DoneSignal {
public:
    void Signal() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        changed_.notify_all();
    }
    bool IsSignalled() const {
        std::lock_guard lock(mutex_);
        return done_;
    }
    // True when signalled within `limit`.
    bool WaitFor(std::chrono::milliseconds limit) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [this] { return done_; });
    }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool done_ = false;
};

// How the core waits. The window thread keeps dispatching its events while it waits, so event actions can
// nest inside a wait; off the window thread a wait is a plain sleep. Every operation may be called from
// any thread.
class EventPump {
public:
    virtual ~EventPump() = default;

    // Waits while the calling thread keeps dispatching its events.
    virtual void PumpingWait(std::chrono::microseconds duration) = 0;
    // Dispatches the events pending for the calling thread once, without waiting for more.
    virtual void DispatchPending() = 0;
    // Blocks until `done` is signalled, events are pending for the calling thread, or `limit` has passed,
    // whichever comes first; dispatches nothing. Returning early is always allowed: callers loop.
    virtual void WaitForDoneOrEvents(const DoneSignal& done, std::chrono::milliseconds limit) = 0;
    // A monotonic millisecond clock, the one that time-outs are measured with.
    virtual std::chrono::milliseconds Now() = 0;
};

// The pump of a thread that has no events: waits are sleeps, time is the steady clock.
class PlainEventPump final : public EventPump {
public:
    void PumpingWait(std::chrono::microseconds duration) override { std::this_thread::sleep_for(duration); }
    void DispatchPending() override {}
    void WaitForDoneOrEvents(const DoneSignal& done, std::chrono::milliseconds limit) override {
        done.WaitFor(limit);
    }
    std::chrono::milliseconds Now() override {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    }
};

} // namespace rankmoth::base
