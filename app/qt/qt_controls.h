#pragma once

#include "base/controls.h"

#include <QColor>
#include <QString>

#include <string>
#include <string_view>

class QObject;
class QWidget;

namespace rankmoth::shell {

// What the control layer needs from the application that owns the windows.
class WindowHost {
public:
    virtual ~WindowHost() = default;
    // The window of that name, or null when it has not been loaded.
    virtual QWidget* FindWindow(std::string_view name) = 0;
    virtual void LoadWindow(std::string_view name, bool modal) = 0;
    virtual void CloseWindow(std::string_view name) = 0;
    virtual int ShowMessageBox(const QString& text, int style, const QString& caption) = 0;
    virtual void OpenAddress(const std::string& address) = 0;
    virtual void PlayAlertSound() = 0;
    virtual void EndProgram(int exitCode) = 0;
};

// Controls on the real windows: each control is found by its objectName inside the named window. Text
// crosses as GBK and is converted to and from UTF-8 here. A call from another thread is carried out on the
// window thread; calls that answer something wait for it, writes are queued in order.
class QtControls final : public base::Controls {
public:
    explicit QtControls(WindowHost& host);
    ~QtControls() override;

    // The object named `control` inside `window`, or null. Window thread only.
    QObject* Find(std::string_view window, std::string_view control) const;

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
    void SetCellText(std::string_view window, std::string_view control, int row, int column, const Text& text) override;
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

    // 0x00BBGGRR, the form the core gives colours in.
    static base::Colour ToColour(const QColor& colour);
    static QColor FromColour(base::Colour colour);

private:
    template <class F> auto Answer(F&& work) -> decltype(work());
    template <class F> void Post(F&& work);
    template <class W, class F> void Write(std::string_view window, std::string_view control, F&& action);
    template <class W, class R, class F>
    R Read(std::string_view window, std::string_view control, R fallback, F&& read);

    WindowHost& host_;
    QObject* context_; // lives on the window thread; marshalled calls run in its thread
};

} // namespace rankmoth::shell
