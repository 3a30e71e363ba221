#pragma once

#include "base/pass_outcome.h"
#include "history/pass_recorder.h"

#include <functional>
#include <string>

namespace rankmoth::app {

// The window's recording rule, without widgets: the recorder keeps every finished pass and works out its
// changes; this decides what the seller is told. A store that cannot be opened or a pass that cannot be
// written is said once (recording must never get in the way of the query); a failure of something the seller
// asked for is said every time. Texts are UTF-8, for the Qt side to show.
class HistoryRecording {
public:
    struct Notices {
        // The change alert: a tray balloon where there is a tray, the status bar otherwise.
        std::function<void(const std::string& title, const std::string& text)> alert;
        // The main window's first status field.
        std::function<void(const std::string& text)> status;
    };

    // `path` empty: history is off.
    HistoryRecording(std::string path, Notices notices);

    // Records the pass, alerting only when it was kept. True when a store is open, for the pages to follow.
    bool PassFinished(const base::PassOutcome& pass);
    // The open store, or nullptr when it cannot be opened (said once).
    history::Store* Store();
    // Says the failure of an action the seller started (delete, export).
    void ReportActionFailure(const std::string& error);

    // The shop of the latest finished pass (UTF-8).
    const std::string& lastShop() const { return lastShop_; }
    int alertPages() const { return alertPages_; }
    void setAlertPages(int pages);
    int alertsShown() const { return alertsShown_; }

private:
    void ReportBackgroundFailure(const std::string& error);

    Notices notices_;
    history::PassRecorder recorder_;
    bool backgroundFailureSaid_ = false;
    std::string lastShop_;
    int alertPages_ = history::kDefaultAlertPages;
    int alertsShown_ = 0;
};

} // namespace rankmoth::app
