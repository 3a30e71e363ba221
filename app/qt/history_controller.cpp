#include "app/qt/history_controller.h"

#include "app/qt/history_page.h"

#include <algorithm>

namespace rankmoth::shell {

namespace {

app::HistoryRecording::Notices NoticesOf(HistoryController::Services services) {
    app::HistoryRecording::Notices notices;
    if (services.showAlert)
        notices.alert = [show = std::move(services.showAlert)](const std::string& title, const std::string& text) {
            show(QString::fromStdString(title), QString::fromStdString(text));
        };
    if (services.showStatus)
        notices.status = [show = std::move(services.showStatus)](const std::string& text) {
            show(QString::fromStdString(text));
        };
    return notices;
}

} // namespace

HistoryController::HistoryController(std::string path, Services services)
    : recording_(std::move(path), NoticesOf(std::move(services))) {}

HistoryController::~HistoryController() = default;

void HistoryController::PassFinished(const base::PassOutcome& pass) {
    if (!recording_.PassFinished(pass))
        return;
    for (HistoryPage* page : pages_)
        page->PassRecorded(recording_.lastShop());
}

void HistoryController::AddPage(HistoryPage* page) {
    if (std::find(pages_.begin(), pages_.end(), page) == pages_.end())
        pages_.push_back(page);
}

void HistoryController::RemovePage(HistoryPage* page) {
    pages_.erase(std::remove(pages_.begin(), pages_.end(), page), pages_.end());
}

} // namespace rankmoth::shell
