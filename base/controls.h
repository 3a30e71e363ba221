#pragma once

#include "base/text.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace rankmoth::base {

// Window names: the two windows of the program.
inline constexpr std::string_view kMainWindow = "MainWindow";
inline constexpr std::string_view kUpdateWindow = "UpdateWindow";

// A colour as the 0x00BBGGRR value that list colours are given in.
using Colour = std::uint32_t;
constexpr Colour Rgb(unsigned red, unsigned green, unsigned blue) { return red | (green << 8) | (blue << 16); }

// Message-box styles and results.
inline constexpr int kIconExclamation = 48;
inline constexpr int kIconInformation = 64;
inline constexpr int kButtonOk = 1;

enum class Placement { Normal, Minimised };

// Everything the core does to the windows goes through this interface: each control is addressed by its
// window name and its design name (UTF-8, the control's objectName in the shell), and text crosses it as
// GBK. Every operation may be called from any thread; the shell carries it out on the window thread.
// An unknown control is ignored on write and reads as empty / false / -1.
class Controls {
public:
    virtual ~Controls() = default;

    // Edit box text, label or button caption.
    virtual Text GetText(std::string_view window, std::string_view control) = 0;
    virtual void SetText(std::string_view window, std::string_view control, const Text& text) = 0;

    // Ticked check box, selected radio button. Selecting a radio button clears the others of its group.
    virtual bool IsChecked(std::string_view window, std::string_view control) = 0;
    virtual void SetChecked(std::string_view window, std::string_view control, bool checked) = 0;

    virtual void SetEnabled(std::string_view window, std::string_view control, bool enabled) = 0;
    virtual void SetControlVisible(std::string_view window, std::string_view control, bool visible) = 0;
    virtual void SetFocus(std::string_view window, std::string_view control) = 0;
    // A tip shown at the control, where the user is looking, until it is written empty. A control layer
    // without tips may ignore it.
    virtual void SetToolTip(std::string_view /*window*/, std::string_view /*control*/, const Text& /*tip*/) {}

    // Combo box; indexes are 0-based, -1 for no selection.
    virtual void AddComboEntry(std::string_view window, std::string_view control, const Text& entry) = 0;
    virtual void SelectComboEntry(std::string_view window, std::string_view control, int index) = 0;
    virtual int ComboSelection(std::string_view window, std::string_view control) = 0;
    virtual Text ComboEntryText(std::string_view window, std::string_view control, int index) = 0;
    virtual int ComboCount(std::string_view window, std::string_view control) = 0;

    // List view; rows and columns are 0-based.
    virtual void DeleteAllRows(std::string_view window, std::string_view control) = 0;
    virtual int RowCount(std::string_view window, std::string_view control) = 0;
    // Appends a row whose first column holds `firstColumn`; returns its index.
    virtual int AddRow(std::string_view window, std::string_view control, const Text& firstColumn) = 0;
    virtual void SetCellText(std::string_view window, std::string_view control, int row, int column,
                             const Text& text) = 0;
    virtual Text CellText(std::string_view window, std::string_view control, int row, int column) = 0;
    virtual void ScrollRowIntoView(std::string_view window, std::string_view control, int row) = 0;
    // The list's own colours, and the colours of one cell (set back to the list's own to clear it).
    virtual Colour ListTextColour(std::string_view window, std::string_view control) = 0;
    virtual Colour ListBackgroundColour(std::string_view window, std::string_view control) = 0;
    virtual void SetCellColours(std::string_view window, std::string_view control, int row, int column,
                                Colour text, Colour background) = 0;

    // Status bar parts, 0-based.
    virtual void SetStatusText(std::string_view window, std::string_view control, int part, const Text& text) = 0;
    virtual Text StatusText(std::string_view window, std::string_view control, int part) = 0;
    virtual void SetStatusPartWidth(std::string_view window, std::string_view control, int part, int width) = 0;

    // Timer interval in milliseconds; 0 stops the timer.
    virtual void SetTimerInterval(std::string_view window, std::string_view control, int milliseconds) = 0;
    virtual int TimerInterval(std::string_view window, std::string_view control) = 0;

    // Progress bar position, 0..100.
    virtual void SetProgress(std::string_view window, std::string_view control, int percent) = 0;
    // Tab control page, 0-based.
    virtual void SetCurrentTab(std::string_view window, std::string_view control, int index) = 0;
    // HTML browser box.
    virtual void ReloadPage(std::string_view window, std::string_view control) = 0;

    // Windows.
    virtual void LoadWindow(std::string_view window, bool modal) = 0;
    virtual void CloseWindow(std::string_view window) = 0;
    virtual bool IsWindowVisible(std::string_view window) = 0;
    virtual void SetWindowVisible(std::string_view window, bool visible) = 0;
    virtual Placement WindowPlacement(std::string_view window) = 0;
    virtual void SetWindowPlacement(std::string_view window, Placement placement) = 0;
    virtual void SetAlwaysOnTop(std::string_view window, bool onTop) = 0;
    virtual void PopupMenuAtCursor(std::string_view window, std::string_view menu) = 0;

    // Modal message box; returns the button pressed (kButtonOk for the OK button).
    virtual int MessageBox(const Text& text, int style, const Text& caption) = 0;
    // Opens an address with the user's browser.
    virtual void OpenAddress(const std::string& address) = 0;
    // Plays the alert sound without blocking.
    virtual void PlayAlertSound() = 0;
    // Starts a program (a path in the current directory or absolute); true when it was started.
    virtual bool StartProcess(const std::string& path) = 0;
    // Ends the program with an exit code.
    virtual void EndProgram(int exitCode) = 0;
};

} // namespace rankmoth::base
