#pragma once

#include "app/history_recording.h"
#include "base/pass_outcome.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace rankmoth::shell {

class HistoryPage;

// The Qt side of recording (app::HistoryRecording decides what is said): shows the alerts and the status
// text, and keeps the history pages following the passes. Recording never changes what the window shows or
// sends.
class HistoryController {
public:
    struct Services {
        // The alert: a tray balloon where there is a tray, the status bar otherwise.
        std::function<void(const QString& title, const QString& text)> showAlert;
        // Status part 1 of the main window.
        std::function<void(const QString& text)> showStatus;
    };

    // `path` empty: history is off.
    HistoryController(std::string path, Services services);
    ~HistoryController();
    HistoryController(const HistoryController&) = delete;
    HistoryController& operator=(const HistoryController&) = delete;

    // The window's pass-finished hook.
    void PassFinished(const base::PassOutcome& pass);

    // The open store, or nullptr when it cannot be opened (said once).
    history::Store* Store() { return recording_.Store(); }
    // Says the failure of an action the seller started (delete, export), every time.
    void ReportFailure(const std::string& error) { recording_.ReportActionFailure(error); }

    // The pages that follow the history: the tab's, and the one in a window of its own.
    void AddPage(HistoryPage* page);
    void RemovePage(HistoryPage* page);
    // The shop of the latest recorded pass (UTF-8), for a page whose shop field is empty.
    const std::string& lastShop() const { return recording_.lastShop(); }
    int alertPages() const { return recording_.alertPages(); }
    void setAlertPages(int pages) { recording_.setAlertPages(pages); }
    int alertsShown() const { return recording_.alertsShown(); }

private:
    app::HistoryRecording recording_;
    std::vector<HistoryPage*> pages_;
};

} // namespace rankmoth::shell
