#include "history/history_store.h"

namespace rankmoth::history {

struct HistoryStore::Impl {};

std::string DefaultHistoryPath(const char*, const char*, const char*) { return {}; }
std::string DefaultHistoryPath() { return {}; }

HistoryStore::HistoryStore() = default;
HistoryStore::~HistoryStore() = default;
HistoryStore::HistoryStore(HistoryStore&&) noexcept = default;
HistoryStore& HistoryStore::operator=(HistoryStore&&) noexcept = default;

bool HistoryStore::Open(const std::string&, std::chrono::milliseconds) { return false; }
bool HistoryStore::isOpen() const { return false; }
void HistoryStore::Close() {}
std::int64_t HistoryStore::RecordPass(const base::PassOutcome&) { return 0; }
std::optional<Baseline> HistoryStore::BaselineFor(const base::PassOutcome&) { return {}; }
std::vector<std::string> HistoryStore::Shops() { return {}; }
std::vector<ItemSummary> HistoryStore::ItemSummaries(const std::string&) { return {}; }
ItemTimeline HistoryStore::Timeline(const std::string&, const std::string&) { return {}; }
std::vector<CrossSortRow> HistoryStore::CrossSort(const std::string&) { return {}; }
std::vector<ExportRow> HistoryStore::Export(const std::string&, const std::string&) { return {}; }
bool HistoryStore::DeleteItem(const std::string&, const std::string&) { return false; }
bool HistoryStore::DeleteShop(const std::string&) { return false; }
std::vector<PassRow> HistoryStore::Passes(const PassFilter&) { return {}; }
bool HistoryStore::ResultOf(std::int64_t, const std::string&, ExportRow&) { return false; }

} // namespace rankmoth::history
