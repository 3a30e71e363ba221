#include "history/pass_recorder.h"

namespace rankmoth::history {

std::string RecordingPath(const std::string& historyFlag, bool noHistory) {
    if (noHistory)
        return {};
    return historyFlag.empty() ? DefaultHistoryPath() : historyFlag;
}

PassRecorder::PassRecorder(std::string path, int alertPages) : path_(std::move(path)), alertPages_(alertPages) {}

PassRecorder::Outcome PassRecorder::Record(const base::PassOutcome& pass) {
    Outcome outcome;
    if (path_.empty())
        return outcome;
    // One attempt to open per run: a file that cannot be opened now will not be in a second, and each attempt
    // may wait out the busy time-out.
    if (!store_.isOpen() && !openTried_) {
        openTried_ = true;
        store_.Open(path_);
    }
    if (store_.isOpen()) {
        store_.clearError();
        const std::optional<Baseline> baseline = pass.clean() ? store_.BaselineFor(pass) : std::nullopt;
        outcome.recorded = store_.RecordPass(pass) != 0;
        if (outcome.recorded)
            outcome.alerts = ChangeAlerts(pass, baseline ? &*baseline : nullptr, alertPages_);
    }
    if (!outcome.recorded && !warned_) {
        warned_ = true;
        outcome.warning = "The pass was not kept in the history: " + store_.error();
    }
    return outcome;
}

} // namespace rankmoth::history
