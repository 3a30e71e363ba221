#pragma once

#include "base/eventpump.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

namespace rankmoth::testing {

// A pump with a virtual clock: PumpingWait advances the clock instead of sleeping, so the 0.1 s and 10 s
// pauses of the code under test cost nothing. Each dispatch runs the events a test queued (FIFO), which is
// how a test clicks a button "while" a query is walking.
class FakePump : public base::EventPump {
public:
    // Runs `event` at the next dispatch.
    void Post(std::function<void()> event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    // Runs `event` at the first dispatch at or after virtual time `at`.
    void PostAt(std::chrono::milliseconds at, std::function<void()> event) {
        std::lock_guard lock(mutex_);
        timed_.push_back({at, std::move(event)});
    }
    void Advance(std::chrono::milliseconds by) { now_ += by.count(); }

    void PumpingWait(std::chrono::microseconds duration) override {
        ++waits_;
        totalWaited_ += duration.count();
        DispatchPending();
        now_ += std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
        DispatchPending();
    }
    void DispatchPending() override {
        ++dispatches_;
        std::vector<std::function<void()>> due;
        {
            std::lock_guard lock(mutex_);
            due.swap(events_);
            for (auto it = timed_.begin(); it != timed_.end();) {
                if (it->at.count() <= now_) {
                    due.push_back(std::move(it->event));
                    it = timed_.erase(it);
                } else {
                    ++it;
                }
            }
        }
        for (auto& event : due)
            event();
    }
    // A worker really runs, so the wait is real, but capped: past `realWaitCap` the virtual clock jumps to
    // the end of the limit, which makes a time-out test take milliseconds rather than the time-out.
    void WaitForDoneOrEvents(const base::DoneSignal& done, std::chrono::milliseconds limit) override {
        const auto real = std::min(limit, realWaitCap);
        const auto start = std::chrono::steady_clock::now();
        if (done.WaitFor(real)) {
            now_ += std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
                        .count();
            return;
        }
        now_ += limit.count();
    }
    std::chrono::milliseconds Now() override { return std::chrono::milliseconds(now_.load()); }

    int dispatches() const { return dispatches_; }
    int waits() const { return waits_; }
    std::chrono::microseconds totalWaited() const { return std::chrono::microseconds(totalWaited_.load()); }

    std::chrono::milliseconds realWaitCap{5000};

private:
    struct Timed {
        std::chrono::milliseconds at;
        std::function<void()> event;
    };
    std::mutex mutex_;
    std::vector<std::function<void()>> events_;
    std::vector<Timed> timed_;
    std::atomic<long long> now_{0};
    std::atomic<long long> totalWaited_{0};
    std::atomic<int> dispatches_{0};
    std::atomic<int> waits_{0};
};

} // namespace rankmoth::testing
