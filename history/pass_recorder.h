#pragma once

#include "base/pass_outcome.h"
#include "history/change_alerts.h"
#include "history/history_store.h"

#include <string>
#include <vector>

namespace rankmoth::history {

// Where a front end records: `--no-history` turns recording off (empty path), `--history FILE` names the file,
// otherwise DefaultHistoryPath().
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
        std::string warning; // set at the first failure only, for stderr or status part 1
    };
    Outcome Record(const base::PassOutcome& pass);

    void setAlertPages(int pages) { alertPages_ = pages; }
    bool enabled() const { return !path_.empty(); }
    // The open store for the history page, or null while none could be opened.
    HistoryStore* store() { return store_.isOpen() ? &store_ : nullptr; }

private:
    std::string path_;
    int alertPages_;
    HistoryStore store_;
    bool openTried_ = false;
    bool warned_ = false;
};

} // namespace rankmoth::history
