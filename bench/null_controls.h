#pragma once

// Windows and a pump that cost nothing, so a benchmark measures the core's own work.
#include "base/controls.h"
#include "base/eventpump.h"

#include <benchmark/benchmark.h>

namespace rankmoth::bench {

// Every write is dropped (its size kept alive so the text is still built); rows are only counted.
class NullControls final : public base::Controls {
public:
    Text GetText(std::string_view, std::string_view) override { return {}; }
    void SetText(std::string_view, std::string_view, const Text& t) override { benchmark::DoNotOptimize(t.size()); }
    bool IsChecked(std::string_view, std::string_view) override { return false; }
    void SetChecked(std::string_view, std::string_view, bool) override {}
    void SetEnabled(std::string_view, std::string_view, bool) override {}
    void SetControlVisible(std::string_view, std::string_view, bool) override {}
    void SetFocus(std::string_view, std::string_view) override {}
    void AddComboEntry(std::string_view, std::string_view, const Text&) override {}
    void SelectComboEntry(std::string_view, std::string_view, int) override {}
    int ComboSelection(std::string_view, std::string_view) override { return -1; }
    Text ComboEntryText(std::string_view, std::string_view, int) override { return {}; }
    int ComboCount(std::string_view, std::string_view) override { return 0; }
    void DeleteAllRows(std::string_view, std::string_view) override { rows = 0; }
    int RowCount(std::string_view, std::string_view) override { return rows; }
    int AddRow(std::string_view, std::string_view, const Text&) override { return rows++; }
    void SetCellText(std::string_view, std::string_view, int, int, const Text&) override {}
    Text CellText(std::string_view, std::string_view, int, int) override { return {}; }
    void ScrollRowIntoView(std::string_view, std::string_view, int) override {}
    base::Colour ListTextColour(std::string_view, std::string_view) override { return 0; }
    base::Colour ListBackgroundColour(std::string_view, std::string_view) override { return 0xFFFFFF; }
    void SetCellColours(std::string_view, std::string_view, int, int, base::Colour, base::Colour) override {}
    void SetStatusText(std::string_view, std::string_view, int, const Text& t) override {
        benchmark::DoNotOptimize(t.size());
    }
    Text StatusText(std::string_view, std::string_view, int) override { return {}; }
    void SetStatusPartWidth(std::string_view, std::string_view, int, int) override {}
    void SetTimerInterval(std::string_view, std::string_view, int) override {}
    int TimerInterval(std::string_view, std::string_view) override { return 0; }
    void SetProgress(std::string_view, std::string_view, int) override {}
    void SetCurrentTab(std::string_view, std::string_view, int) override {}
    void ReloadPage(std::string_view, std::string_view) override {}
    void LoadWindow(std::string_view, bool) override {}
    void CloseWindow(std::string_view) override {}
    bool IsWindowVisible(std::string_view) override { return true; }
    void SetWindowVisible(std::string_view, bool) override {}
    base::Placement WindowPlacement(std::string_view) override { return base::Placement::Normal; }
    void SetWindowPlacement(std::string_view, base::Placement) override {}
    void SetAlwaysOnTop(std::string_view, bool) override {}
    void PopupMenuAtCursor(std::string_view, std::string_view) override {}
    int MessageBox(const Text&, int, const Text&) override { return base::kButtonOk; }
    void OpenAddress(const std::string&) override {}
    void PlayAlertSound() override {}
    bool StartProcess(const std::string&) override { return false; }
    void EndProgram(int) override {}

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
