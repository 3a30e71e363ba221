#pragma once

#include "base/pass_outcome.h"
#include "history/history_store.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rankmoth::shell {

class HistoryPage;

// Keeps every finished pass of the window in the history store, tells the seller about changes, and serves
// the history page. A store that cannot be opened or written is said once in the status bar and otherwise
// ignored: recording never changes what the window shows or sends.
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
    history::Store* Store();
    // Says a failure of the store, the first time only.
    void ReportFailure(const std::string& error);

    // The pages that follow the history: the tab's, and the one in a window of its own.
    void AddPage(HistoryPage* page);
    void RemovePage(HistoryPage* page);
    // The shop of the latest recorded pass (UTF-8), for a page whose shop field is empty.
    const std::string& lastShop() const { return lastShop_; }
    int alertPages() const { return alertPages_; }
    void setAlertPages(int pages) { alertPages_ = pages > 0 ? pages : history::kDefaultAlertPages; }
    int alertsShown() const { return alertsShown_; }

private:
    std::string path_;
    Services services_;
    std::unique_ptr<history::Store> store_;
    bool openTried_ = false;
    bool failureSaid_ = false;
    std::vector<HistoryPage*> pages_;
    std::string lastShop_;
    int alertPages_ = history::kDefaultAlertPages;
    int alertsShown_ = 0;
};

} // namespace rankmoth::shell
