#pragma once

// Windows and a pump that cost nothing, so a benchmark measures the core's own work.
#include "base/eventpump.h"
#include "base/null_controls.h"

#include <benchmark/benchmark.h>

namespace rankmoth::bench {

// Every write is dropped (its size kept alive so the text is still built); rows are only counted.
class NullControls final : public base::NullControls {
public:
    void SetText(std::string_view, std::string_view, const Text& t) override { benchmark::DoNotOptimize(t.size()); }
    void DeleteAllRows(std::string_view, std::string_view) override { rows = 0; }
    int RowCount(std::string_view, std::string_view) override { return rows; }
    int AddRow(std::string_view, std::string_view, const Text&) override { return rows++; }
    base::Colour ListBackgroundColour(std::string_view, std::string_view) override { return 0xFFFFFF; }
    void SetStatusText(std::string_view, std::string_view, int, const Text& t) override {
        benchmark::DoNotOptimize(t.size());
    }
    bool IsWindowVisible(std::string_view) override { return true; }

    int rows = 0;
};

// Pauses that return at once and a clock that stands still.
class FreePump final : public base::EventPump {
public:
    void PumpingWait(std::chrono::microseconds) override {}
    void DispatchPending() override {}
    void WaitForDoneOrEvents(const base::DoneSignal&, std::chrono::milliseconds) override {}
    std::chrono::milliseconds Now() override { return {}; }
};

} // namespace rankmoth::bench
