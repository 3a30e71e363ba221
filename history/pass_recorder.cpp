#include "history/pass_recorder.h"

namespace rankmoth::history {

std::string RecordingPath(const std::string& historyFlag, bool noHistory) {
    if (noHistory)
        return {};
    return ChooseHistory(historyFlag).location;
}

PassRecorder::PassRecorder(std::string path, int alertPages) : path_(std::move(path)), alertPages_(alertPages) {}

Store* PassRecorder::store() {
    // One attempt to open per run: a file that cannot be opened now will not be in a second, and each attempt
    // may wait out the busy time-out.
    if (!store_ && !openTried_ && !path_.empty()) {
        openTried_ = true;
        base::Result<std::unique_ptr<Store>> opened = OpenStore(path_, Access::ReadWrite);
        if (opened)
            store_ = std::move(opened).value();
        else
            openFailure_ = opened.error();
    }
    return store_.get();
}

PassRecorder::Outcome PassRecorder::Record(const base::PassOutcome& pass) {
    Outcome outcome;
    if (path_.empty())
        return outcome;
    std::string failure;
    if (Store* history = store()) {
        // The baseline is read before the pass is written: the new pass must not become its own baseline. A
        // baseline that cannot be read costs the alerts, not the pass.
        std::optional<Baseline> baseline;
        if (pass.clean())
            baseline = history->BaselineFor(pass).value_or(std::nullopt);
        const base::Result<std::int64_t> recorded = history->RecordPass(pass);
        outcome.recorded = recorded.ok();
        if (outcome.recorded)
            outcome.alerts = ChangeAlerts(pass, baseline ? &*baseline : nullptr, alertPages_);
        else
            failure = recorded.error();
    } else {
        failure = openFailure_;
    }
    if (!outcome.recorded)
        outcome.failure = failure;
    if (!outcome.recorded && !warned_) {
        warned_ = true;
        outcome.warning = "The pass was not kept in the history: " + failure;
    }
    return outcome;
}

} // namespace rankmoth::history
