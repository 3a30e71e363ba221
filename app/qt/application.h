#pragma once

#include "app/main_actions.h"
#include "app/qt/alert_sound.h"
#include "app/qt/compose.h"
#include "app/qt/history_controller.h"
#include "app/qt/history_page.h"
#include "app/qt/qt_controls.h"
#include "app/qt/qt_event_pump.h"
#include "app/qt/tray_presence.h"
#include "app/qt/windows.h"
#include "app/startup.h"
#include "base/shell_hooks.h"

#include <QPointer>
#include <QString>
#include <QSystemTrayIcon>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace rankmoth::shell {

// The program: its two windows, the control layer and pump over them, the tray icon, and the core bound to
// them through the hooks. A QApplication must exist first. Tests build one in-process and replace the
// services that would leave the process (message boxes, the browser, the end of the program).
class Application final : public WindowHost {
public:
    struct Options {
        std::string configFile;                 // empty: config.ini in the settings folder (base::FileLocations)
        QString skinDirectory;                  // empty: the data folder (beside the executable when portable)
        bool bindCore = true;                   // fill the hooks from the core folders
        std::optional<bool> trayAvailable;      // a fixed answer to whether the desktop has a system tray
        std::function<bool()> trayProbe;        // asked on every look when there is no fixed answer; empty:
                                                // QSystemTrayIcon::isSystemTrayAvailable
        std::optional<std::string> historyFile; // empty: history::DefaultHistoryPath(); "" turns history off
    };

    Application();
    explicit Application(Options options);
    ~Application() override;
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Loads UpdateWindow, the start window; its creation action runs from the event loop.
    void Start();

    base::Controls& controls() { return *controls_; }
    QtControls& qtControls() { return *controls_; }
    base::EventPump& pump() { return pump_; }
    base::ShellHooks& hooks() { return hooks_; }
    const std::string& configFile() const { return options_.configFile; }
    ShellWindow* mainWindow() const { return main_; }
    ShellWindow* updateWindow() const { return update_; }
    QSystemTrayIcon* trayIcon() const { return tray_.icon(); }
    bool trayAvailable() const { return tray_.available(); }
    // Our icon is in the tray: only then may the window hide there.
    bool trayIconShown() const { return tray_.shown(); }
    // Shows the icon when a tray has come up since the last look, and takes it down when the tray has gone.
    // Runs every second.
    void FollowTray() { tray_.Follow(); }
    int soundsPlayed() const { return sounds_; }
    int balloonsShown() const { return balloons_; }
    HistoryController& history() { return *history_; }
    HistoryPage* historyPage() const { return historyPage_; }
    // A change alert: a tray balloon, or status part 1 of the main window where there is no tray.
    void ShowAlert(const QString& title, const QString& text);
    // True once the start-up worker has finished.
    bool startupFinished() const;

    // A mouse event on the tray icon.
    void TrayEvent(app::TrayMouse event);

    // Services that leave the process; tests replace them.
    std::function<int(const QString& text, int style, const QString& caption)> messageBox;
    std::function<void(const std::string& address)> openAddress;
    std::function<void(int exitCode)> endProgram;

    // WindowHost
    QWidget* FindWindow(std::string_view name) override;
    void LoadWindow(std::string_view name, bool modal) override;
    void CloseWindow(std::string_view name) override;
    int ShowMessageBox(const QString& text, int style, const QString& caption) override;
    void OpenAddress(const std::string& address) override;
    void PlayAlertSound() override;
    void EndProgram(int exitCode) override;

    // The real end: the tray icon goes, the windows close and the process ends with the code, also from
    // inside nested event loops.
    static void EndProcess(int exitCode);

private:
    void CreateMainWindow();
    void CreateUpdateWindow();
    void OnMainWindowCreated();
    void OnMainPlacementChanged();
    void StartStartupWorker();
    void WireMainWindow();
    void WireUpdateWindow();
    void ShowSettingsProblems();

    Options options_;
    std::unique_ptr<QtControls> controls_;
    QtEventPump pump_;
    base::ShellHooks hooks_;
    std::unique_ptr<HistoryController> history_;
    std::unique_ptr<CoreContext> core_;
    QPointer<ShellWindow> main_;
    QPointer<ShellWindow> update_;
    QPointer<HistoryPage> historyPage_;
    TrayPresence tray_;
    AlertSound alert_;
    app::NewsReloadCounter newsCounter_;
    int sounds_ = 0;
    int balloons_ = 0;
    bool ended_ = false;
    // Shared with the start-up worker, which may still be running when the program is torn down.
    struct StartupRun {
        std::atomic<bool> stop{false};
        std::atomic<bool> done{false};
    };
    std::shared_ptr<StartupRun> startup_;
    std::thread startupWorker_;
    // The settings refused while the core was bound, each said in a message box once the program starts.
    std::vector<std::string> settingsProblems_;
};

} // namespace rankmoth::shell
