#pragma once

#include "base/controls.h"

namespace rankmoth::base {

// A control set without windows: every write goes nowhere, reads are empty (no selection, no rows), and a
// message box is answered with OK. Front ends without windows and benchmarks override what they need.
class NullControls : public Controls {
public:
    Text GetText(std::string_view, std::string_view) override { return {}; }
    void SetText(std::string_view, std::string_view, const Text&) override {}
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
    void DeleteAllRows(std::string_view, std::string_view) override {}
    int RowCount(std::string_view, std::string_view) override { return 0; }
    int AddRow(std::string_view, std::string_view, const Text&) override { return -1; }
    void SetCellText(std::string_view, std::string_view, int, int, const Text&) override {}
    Text CellText(std::string_view, std::string_view, int, int) override { return {}; }
    void ScrollRowIntoView(std::string_view, std::string_view, int) override {}
    Colour ListTextColour(std::string_view, std::string_view) override { return 0; }
    Colour ListBackgroundColour(std::string_view, std::string_view) override { return 0; }
    void SetCellColours(std::string_view, std::string_view, int, int, Colour, Colour) override {}
    void SetStatusText(std::string_view, std::string_view, int, const Text&) override {}
    Text StatusText(std::string_view, std::string_view, int) override { return {}; }
    void SetStatusPartWidth(std::string_view, std::string_view, int, int) override {}
    void SetTimerInterval(std::string_view, std::string_view, int) override {}
    int TimerInterval(std::string_view, std::string_view) override { return 0; }
    void SetProgress(std::string_view, std::string_view, int) override {}
    void SetCurrentTab(std::string_view, std::string_view, int) override {}
    void ReloadPage(std::string_view, std::string_view) override {}
    void LoadWindow(std::string_view, bool) override {}
    void CloseWindow(std::string_view) override {}
    bool IsWindowVisible(std::string_view) override { return false; }
    void SetWindowVisible(std::string_view, bool) override {}
    Placement WindowPlacement(std::string_view) override { return Placement::Normal; }
    void SetWindowPlacement(std::string_view, Placement) override {}
    void SetAlwaysOnTop(std::string_view, bool) override {}
    void PopupMenuAtCursor(std::string_view, std::string_view) override {}
    int MessageBox(const Text&, int, const Text&) override { return kButtonOk; }
    void OpenAddress(const std::string&) override {}
    void PlayAlertSound() override {}
    bool StartProcess(const std::string&) override { return false; }
    void EndProgram(int) override {}
};

} // namespace rankmoth::base
