#include "app/qt/history_controller.h"

#include "app/history_view.h"
#include "app/qt/history_page.h"
#include "history/change_alerts.h"

#include <algorithm>

namespace rankmoth::shell {

HistoryController::HistoryController(std::string path, Services services)
    : path_(std::move(path)), services_(std::move(services)) {}

HistoryController::~HistoryController() = default;

history::Store* HistoryController::Store() {
    if (store_)
        return store_.get();
    if (path_.empty())
        return nullptr;
    // One attempt per run, as the CLI's recorder does: each attempt may wait out the busy time-out, and the
    // window must not stall on every pass for a file that could not be opened a moment ago.
    if (openTried_)
        return nullptr;
    openTried_ = true;
    base::Result<std::unique_ptr<history::Store>> opened = history::OpenStore(path_, history::Access::ReadWrite);
    if (!opened) {
        ReportFailure(opened.error());
        return nullptr;
    }
    store_ = std::move(opened).value();
    return store_.get();
}

void HistoryController::ReportFailure(const std::string& error) {
    if (failureSaid_)
        return;
    failureSaid_ = true;
    if (services_.showStatus)
        services_.showStatus(QString::fromUtf8("排名历史无法保存: ") + QString::fromStdString(error));
}

void HistoryController::PassFinished(const base::PassOutcome& pass) {
    lastShop_ = pass.request.shop.ToUtf8();
    history::Store* store = Store();
    if (!store)
        return;
    // The baseline is read before the pass is written: the new pass must not become its own baseline.
    std::optional<history::Baseline> baseline;
    if (pass.clean())
        baseline = store->BaselineFor(pass).value_or(std::nullopt);
    if (const base::Result<std::int64_t> recorded = store->RecordPass(pass); !recorded)
        ReportFailure(recorded.error());

    const auto alerts = history::ChangeAlerts(pass, baseline ? &*baseline : nullptr, alertPages_);
    if (!alerts.empty() && services_.showAlert) {
        ++alertsShown_;
        const QString title =
            QString::fromUtf8("排名变动: 优店 %1 · %2")
                .arg(QString::fromStdString(lastShop_), QString::fromStdString(app::SortLabel(pass.request.sort)));
        services_.showAlert(title, QString::fromStdString(history::BalloonText(alerts)));
    }
    for (HistoryPage* page : pages_)
        page->PassRecorded(lastShop_);
}

void HistoryController::AddPage(HistoryPage* page) {
    if (std::find(pages_.begin(), pages_.end(), page) == pages_.end())
        pages_.push_back(page);
}

void HistoryController::RemovePage(HistoryPage* page) {
    pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
}

} // namespace rankmoth::shell
