#pragma once

#include "base/controls.h"

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace rankmoth::testing {

// An in-memory window set: keeps the state of every control a test or the code under test names, and
// records what would have reached the user. Safe to call from any thread.
//
// The real control layer ignores a name it does not know, so a misspelt name would pass here and fail
// silently in the window. Every name touched, by the code or by the test's own look, must therefore be one
// of base/control_names.h for its window, or the test fails.
class FakeControls : public base::Controls {
public:
    // For tests of code that is handed arbitrary names: any window and control name is taken.
    void AllowAnyName();

    struct MessageBoxCall {
        Text text;
        int style = 0;
        Text caption;
    };
    struct Cell {
        int row, column;
        bool operator<(const Cell& o) const { return std::pair(row, column) < std::pair(o.row, o.column); }
    };
    struct ControlState {
        Text text;
        bool checked = false;
        bool enabled = true;
        bool visible = true;
        std::vector<Text> comboEntries;
        int comboSelection = -1;
        std::vector<std::vector<Text>> rows;
        std::map<Cell, std::pair<base::Colour, base::Colour>> cellColours;
        int lastScrolledRow = -1;
        std::map<int, Text> statusParts;
        std::map<int, int> statusWidths;
        int timerInterval = 0;
        int progress = 0;
        int currentTab = 0;
        int reloads = 0;
        Text toolTip;
    };
    struct WindowState {
        bool loaded = false;
        bool modal = false;
        bool visible = false;
        base::Placement placement = base::Placement::Normal;
        bool onTop = false;
        std::vector<std::string> menusPopped;
    };

    // Radio buttons that clear each other when one is selected.
    void AddRadioGroup(std::string_view window, std::vector<std::string> controls);
    // The buttons the next message boxes answer with, in order; OK once the queue is empty.
    void AnswerNextMessageBox(int button);

    // Snapshots, taken under the lock.
    ControlState Control(std::string_view window, std::string_view control) const;
    WindowState Window(std::string_view window) const;
    std::vector<MessageBoxCall> MessageBoxes() const;
    std::vector<std::string> OpenedAddresses() const;
    std::vector<std::string> StartedProcesses() const;
    int SoundsPlayed() const;
    std::optional<int> ExitCode() const;
    std::string FocusedControl() const;
    // Every text written to a control, in order (captions, edit texts, status parts), for tests that care
    // about the sequence of progress texts rather than the last one.
    std::vector<std::pair<std::string, Text>> TextHistory() const;

    // Controls
    Text GetText(std::string_view window, std::string_view control) override;
    void SetText(std::string_view window, std::string_view control, const Text& text) override;
    bool IsChecked(std::string_view window, std::string_view control) override;
    void SetChecked(std::string_view window, std::string_view control, bool checked) override;
    void SetEnabled(std::string_view window, std::string_view control, bool enabled) override;
    void SetControlVisible(std::string_view window, std::string_view control, bool visible) override;
    void SetFocus(std::string_view window, std::string_view control) override;
    void SetToolTip(std::string_view window, std::string_view control, const Text& tip) override;
    void AddComboEntry(std::string_view window, std::string_view control, const Text& entry) override;
    void SelectComboEntry(std::string_view window, std::string_view control, int index) override;
    int ComboSelection(std::string_view window, std::string_view control) override;
    Text ComboEntryText(std::string_view window, std::string_view control, int index) override;
    int ComboCount(std::string_view window, std::string_view control) override;
    void DeleteAllRows(std::string_view window, std::string_view control) override;
    int RowCount(std::string_view window, std::string_view control) override;
    int AddRow(std::string_view window, std::string_view control, const Text& firstColumn) override;
    void SetCellText(std::string_view window, std::string_view control, int row, int column,
                     const Text& text) override;
    Text CellText(std::string_view window, std::string_view control, int row, int column) override;
    void ScrollRowIntoView(std::string_view window, std::string_view control, int row) override;
    base::Colour ListTextColour(std::string_view window, std::string_view control) override;
    base::Colour ListBackgroundColour(std::string_view window, std::string_view control) override;
    void SetCellColours(std::string_view window, std::string_view control, int row, int column, base::Colour text,
                        base::Colour background) override;
    void SetStatusText(std::string_view window, std::string_view control, int part, const Text& text) override;
    Text StatusText(std::string_view window, std::string_view control, int part) override;
    void SetStatusPartWidth(std::string_view window, std::string_view control, int part, int width) override;
    void SetTimerInterval(std::string_view window, std::string_view control, int milliseconds) override;
    int TimerInterval(std::string_view window, std::string_view control) override;
    void SetProgress(std::string_view window, std::string_view control, int percent) override;
    void SetCurrentTab(std::string_view window, std::string_view control, int index) override;
    void ReloadPage(std::string_view window, std::string_view control) override;
    void LoadWindow(std::string_view window, bool modal) override;
    void CloseWindow(std::string_view window) override;
    bool IsWindowVisible(std::string_view window) override;
    void SetWindowVisible(std::string_view window, bool visible) override;
    base::Placement WindowPlacement(std::string_view window) override;
    void SetWindowPlacement(std::string_view window, base::Placement placement) override;
    void SetAlwaysOnTop(std::string_view window, bool onTop) override;
    void PopupMenuAtCursor(std::string_view window, std::string_view menu) override;
    int MessageBox(const Text& text, int style, const Text& caption) override;
    void OpenAddress(const std::string& address) override;
    void PlayAlertSound() override;
    bool StartProcess(const std::string& path) override;
    void EndProgram(int exitCode) override;

    // The list's own colours, as the default list draws them (black on white).
    static constexpr base::Colour kListText = 0x000000;
    static constexpr base::Colour kListBackground = 0xFFFFFF;
    // What StartProcess answers.
    bool startProcessSucceeds = true;

private:
    ControlState& At(std::string_view window, std::string_view control);
    std::string Key(std::string_view window, std::string_view control) const;

    mutable std::mutex mutex_;
    bool anyName_ = false;
    std::map<std::string, ControlState> controls_;
    std::map<std::string, WindowState, std::less<>> windows_;
    std::vector<std::vector<std::string>> radioGroups_;
    std::deque<int> answers_;
    std::vector<MessageBoxCall> messageBoxes_;
    std::vector<std::string> opened_;
    std::vector<std::string> started_;
    std::vector<std::pair<std::string, Text>> textHistory_;
    int sounds_ = 0;
    std::optional<int> exitCode_;
    std::string focused_;
};

} // namespace rankmoth::testing
