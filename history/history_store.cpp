#include "history/history_store.h"

#include "history/sqlite_store.h"

#include <algorithm>
#include <cstdlib>

namespace rankmoth::history {

std::string DefaultHistoryPath(const char* rankmothHistory, const char* xdgDataHome, const char* home) {
    const auto set = [](const char* value) { return value && *value; };
    if (set(rankmothHistory))
        return rankmothHistory;
    // A relative XDG folder is invalid and to be ignored, or the history would follow the current directory.
    if (set(xdgDataHome) && xdgDataHome[0] == '/')
        return std::string(xdgDataHome) + "/rankmoth/history.sqlite";
    if (set(home))
        return std::string(home) + "/.local/share/rankmoth/history.sqlite";
    return {};
}

std::string DefaultHistoryPath() {
    return DefaultHistoryPath(std::getenv("RANKMOTH_HISTORY"), std::getenv("XDG_DATA_HOME"), std::getenv("HOME"));
}

base::Result<void> Store::ForEachTimeline(const std::string& shop, const TimelineSink& sink, std::size_t) {
    auto summaries = ItemSummaries(shop);
    if (!summaries)
        return base::Fail(summaries.error());
    std::vector<std::string> ids;
    for (const ItemSummary& summary : summaries.value())
        ids.push_back(summary.itemId);
    std::sort(ids.begin(), ids.end());
    for (const std::string& id : ids) {
        auto timeline = Timeline(shop, id);
        if (!timeline)
            return base::Fail(timeline.error());
        if (!sink(id, timeline.value()))
            break;
    }
    return {};
}

base::Result<std::unique_ptr<Store>> OpenStore(const std::string& location, Access access,
                                               std::chrono::milliseconds busyTimeout) {
    auto connection = access == Access::ReadWrite ? sqlite::OpenForWriting(location, busyTimeout)
                                                  : sqlite::OpenForReading(location, busyTimeout);
    if (!connection)
        return base::Fail(connection.error());
    return std::unique_ptr<Store>(std::make_unique<sqlite::SqliteStore>(std::move(connection).value()));
}

std::vector<CrossSortRow> CrossSort(const std::vector<ItemSummary>& summaries) {
    std::vector<CrossSortRow> rows;
    rows.reserve(summaries.size());
    for (const ItemSummary& summary : summaries) {
        CrossSortRow row{summary.itemId, summary.title, summary.sorts, false};
        int low = 0, high = 0;
        for (const SortStanding& standing : row.sorts) {
            if (!standing.checked || standing.state != base::ItemState::Found)
                continue;
            low = low == 0 ? standing.page : std::min(low, standing.page);
            high = std::max(high, standing.page);
        }
        row.disagree = low > 0 && high - low >= kDisagreePages;
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace rankmoth::history
