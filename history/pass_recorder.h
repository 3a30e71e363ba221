#pragma once

#include "base/pass_outcome.h"
#include "history/change_alerts.h"
#include "history/history_store.h"

#include <memory>
#include <string>
#include <vector>

namespace rankmoth::history {

// Where a front end records: `--no-history` turns recording off (empty path), otherwise ChooseHistory's choice
// with `historyFlag` as --history.
std::string RecordingPath(const std::string& historyFlag, bool noHistory);

// Records every pass a front end runs, without ever letting the history get in the query's way: the file is
// opened at the first pass, a failure is told once (warning) and later ones stay quiet, and a pass that cannot
// be written is simply not kept. Change alerts come from the baseline read before the pass is written.
class PassRecorder {
public:
    // An empty path records nothing.
    explicit PassRecorder(std::string path, int alertPages = kDefaultAlertPages);

    struct Outcome {
        bool recorded = false;
        std::vector<ChangeAlert> alerts;
        std::string failure; // why the pass was not kept, at every failure
        std::string warning; // set at the first failure only, for stderr
    };
    Outcome Record(const base::PassOutcome& pass);

    void setAlertPages(int pages) { alertPages_ = pages; }
    bool enabled() const { return !path_.empty(); }
    const std::string& path() const { return path_; }
    // The open store, or null while none could be opened. Opening is tried once, at the first call of this or
    // of Record; `openFailure()` then says why it failed.
    Store* store();
    const std::string& openFailure() const { return openFailure_; }

private:
    std::string path_;
    int alertPages_;
    std::unique_ptr<Store> store_;
    std::string openFailure_;
    bool openTried_ = false;
    bool warned_ = false;
};

} // namespace rankmoth::history
