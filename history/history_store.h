#pragma once

#include "base/pass_outcome.h"
#include "history/change_alerts.h"
#include "history/place_label.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rankmoth::history {

// Where the history lives: `rankmothHistory` when set, else `xdgDataHome`/rankmoth/history.sqlite, else
// `home`/.local/share/rankmoth/history.sqlite. Null and empty values count as unset, and so does a relative
// `xdgDataHome`; empty when all are.
std::string DefaultHistoryPath(const char* rankmothHistory, const char* xdgDataHome, const char* home);
// The same from RANKMOTH_HISTORY, XDG_DATA_HOME and HOME.
std::string DefaultHistoryPath();

// One stored pass. Text is UTF-8; times are ISO 8601 UTC (IsoTime).
struct PassRow {
    std::int64_t id = 0;
    std::string shop;
    std::string category;
    std::string subCategory;
    std::string sort;
    int pageLimit = 0;
    std::string started;
    std::string finished;
    int pagesWalked = 0;
    int requests = 0;
    int failedRequests = 0;
    bool stopped = false;
    int items = 0; // items looked for
    int found = 0; // of which found

    bool clean() const { return !stopped && failedRequests == 0; }
};

// An item's standing under one sort, as of the latest pass of that sort that looked for it.
struct SortStanding {
    bool checked = false; // some pass of this sort looked for the item; nothing else is set otherwise
    base::ItemState state = base::ItemState::Incomplete;
    int page = 0;
    int slice = 0;
    // Against the latest earlier result that was not incomplete, when both are found: previous position minus
    // latest, so a positive change is a move up.
    bool hasChange = false;
    int change = 0;
    int bestPosition = 0; // 0 when never found under this sort
    std::string checkedAt;

    int position() const { return PositionOf(state, page, slice); }
};

// One row of the history page's item table.
struct ItemSummary {
    std::string itemId;
    std::string title;                          // the newest title seen
    std::array<SortStanding, kSortCount> sorts; // in kSorts order
    int bestPosition = 0;                       // over every sort, 0 when never found
    std::string lastChecked;                    // the latest checkedAt over the sorts
};

// One cell of an item's zone timeline.
struct TimelinePoint {
    std::int64_t passId = 0;
    std::string started;
    base::ItemState state = base::ItemState::Incomplete;
    int page = 0;
    int slice = 0;
    bool passStopped = false;
    bool passFailed = false; // some request of the pass failed
};

struct ItemTimeline {
    std::array<std::vector<TimelinePoint>, kSortCount> sorts; // each in time order
};

// One row of the cross-sort view.
struct CrossSortRow {
    std::string itemId;
    std::string title;
    std::array<SortStanding, kSortCount> sorts;
    // The found sorts stand 5 pages or more apart.
    bool disagree = false;
};
inline constexpr int kDisagreePages = 5;

// One line of an export: an item's result in one pass, with the pass.
struct ExportRow {
    std::string itemId;
    std::string title;
    base::ItemState state = base::ItemState::Incomplete;
    int page = 0;
    int slice = 0;
    int hits = 0;
    std::string checkedAt;
    PassRow pass; // pass.sort is the row's sort
};

// Which passes to list. Empty fields do not filter; `since` is an IsoTime prefix such as "2026-12-08" and keeps
// passes started at or after it.
struct PassFilter {
    std::string shop;
    std::string itemId; // passes that looked for this item
    std::string sort;
    std::string since;
};

// The history database. Every operation catches its own failures: it returns false, an empty result or 0, and
// error() then says what went wrong in words a seller can act on. One object per thread.
class HistoryStore {
public:
    // The schema this build writes. Version 1 lacked the per-sort standings, results' check times and the
    // passes' item counts.
    static constexpr int kSchemaVersion = 2;
    static constexpr std::chrono::milliseconds kDefaultBusyTimeout{5000};

    HistoryStore();
    ~HistoryStore();
    HistoryStore(HistoryStore&&) noexcept;
    HistoryStore& operator=(HistoryStore&&) noexcept;

    // Opens the file, creating it and its folders when absent, and brings an older schema up to date. Refuses,
    // without writing a byte, a file that is not a history database or was made by a newer version.
    bool Open(const std::string& path, std::chrono::milliseconds busyTimeout = kDefaultBusyTimeout);
    // Opens the file for reading alone: nothing is created (neither the file nor its folders) and no byte of it
    // is written, so a read-only file can be read. A missing file is refused with "no such history file", and
    // so is a file of an older schema, which only a writer may bring forward. The -wal and -shm files that
    // reading makes beside the file are removed again on closing, unless another connection is using them.
    bool OpenForReading(const std::string& path, std::chrono::milliseconds busyTimeout = kDefaultBusyTimeout);
    bool isOpen() const;
    void Close();
    const std::string& error() const { return error_; }
    void clearError() { error_.clear(); }
    const std::string& path() const { return path_; }

    // Writes the pass, its results, the items' titles and standings in one transaction. Returns the pass id,
    // 0 on failure (nothing of the pass is then stored).
    std::int64_t RecordPass(const base::PassOutcome& pass);

    // The latest clean pass of the pass's shop, category, sub-category and sort started before it.
    std::optional<Baseline> BaselineFor(const base::PassOutcome& pass);

    // The history page's reads. Shops are UTF-8 shop IDs.
    std::vector<std::string> Shops();
    std::vector<ItemSummary> ItemSummaries(const std::string& shop);
    ItemTimeline Timeline(const std::string& shop, const std::string& itemId);
    std::vector<CrossSortRow> CrossSort(const std::string& shop);
    // Every result of the shop, or of one item when `itemId` is not empty, in pass order.
    std::vector<ExportRow> Export(const std::string& shop, const std::string& itemId = {});
    // The same rows one at a time, for a shop too large to hold: stops when `sink` returns false. False when the
    // store failed or the sink stopped.
    bool ForEachExportRow(const std::string& shop, const std::string& itemId,
                          const std::function<bool(const ExportRow&)>& sink);
    bool DeleteItem(const std::string& shop, const std::string& itemId);
    bool DeleteShop(const std::string& shop);

    // Recomputes every item's per-sort standing from the stored results, as the migration from version 1 does:
    // a repair for a file whose results were written by other means.
    bool RebuildStandings();

    // The CLI's listing, oldest first.
    std::vector<PassRow> Passes(const PassFilter& filter);
    // One item's result in one pass; false when the pass did not look for it.
    bool ResultOf(std::int64_t passId, const std::string& itemId, ExportRow& row);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string path_;
    std::string error_;
};

} // namespace rankmoth::history
