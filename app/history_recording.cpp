#include "app/history_recording.h"

#include "app/history_view.h"

namespace rankmoth::app {

HistoryRecording::HistoryRecording(std::string path, Notices notices)
    : notices_(std::move(notices)), recorder_(std::move(path), history::kDefaultAlertPages) {}

void HistoryRecording::setAlertPages(int pages) {
    alertPages_ = pages > 0 ? pages : history::kDefaultAlertPages;
    recorder_.setAlertPages(alertPages_);
}

history::Store* HistoryRecording::Store() {
    history::Store* store = recorder_.store();
    if (!store && !recorder_.openFailure().empty())
        ReportBackgroundFailure(recorder_.openFailure());
    return store;
}

void HistoryRecording::ReportActionFailure(const std::string& error) {
    if (notices_.status)
        notices_.status("排名历史无法保存: " + error);
}

void HistoryRecording::ReportBackgroundFailure(const std::string& error) {
    if (backgroundFailureSaid_)
        return;
    backgroundFailureSaid_ = true;
    ReportActionFailure(error);
}

bool HistoryRecording::PassFinished(const base::PassOutcome& pass) {
    lastShop_ = pass.request.shop.ToUtf8();
    if (!recorder_.enabled())
        return false;
    const history::PassRecorder::Outcome outcome = recorder_.Record(pass);
    if (!outcome.recorded)
        ReportBackgroundFailure(outcome.failure);
    // The recorder alerts only for a pass it kept: one that was not kept would alert again, against the same
    // baseline, at the next pass.
    if (!outcome.alerts.empty() && notices_.alert) {
        ++alertsShown_;
        notices_.alert("排名变动: 优店 " + lastShop_ + " · " + SortLabel(pass.request.sort),
                       history::BalloonText(outcome.alerts));
    }
    return recorder_.store() != nullptr;
}

} // namespace rankmoth::app
