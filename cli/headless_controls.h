#pragma once

#include "base/controls.h"

namespace rankmoth::cli {

// The control set of a program without windows, for the web layer's WebEnv: writes go nowhere, reads are
// empty, and a message box becomes one line on stderr answered with OK.
class HeadlessControls final : public base::Controls {
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
    base::Colour ListTextColour(std::string_view, std::string_view) override { return 0; }
    base::Colour ListBackgroundColour(std::string_view, std::string_view) override { return 0; }
    void SetCellColours(std::string_view, std::string_view, int, int, base::Colour, base::Colour) override {}
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
    base::Placement WindowPlacement(std::string_view) override { return base::Placement::Normal; }
    void SetWindowPlacement(std::string_view, base::Placement) override {}
    void SetAlwaysOnTop(std::string_view, bool) override {}
    void PopupMenuAtCursor(std::string_view, std::string_view) override {}
    int MessageBox(const Text& text, int style, const Text& caption) override;
    void OpenAddress(const std::string&) override {}
    void PlayAlertSound() override {}
    bool StartProcess(const std::string&) override { return false; }
    void EndProgram(int) override {}
};

} // namespace rankmoth::cli
