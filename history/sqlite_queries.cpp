#include "history/sqlite_store.h"

#include <algorithm>

namespace rankmoth::history::sqlite {

namespace {

#define RANKMOTH_PASS_COLUMNS(p)                                                                                       \
    p ".id, " p ".shop, " p ".category, " p ".sub_category, " p ".sort, " p ".page_limit, " p ".started, " p           \
      ".finished, " p ".pages_walked, " p ".requests, " p ".failed_requests, " p ".stopped, " p ".items, " p ".found, " p ".walk_id"

// An export row's own columns, as ReadResult reads them; a result without its check time was checked when its
// pass finished.
#define RANKMOTH_RESULT_COLUMNS "r.item_id, coalesce(i.title, ''), r.state, r.page, r.slice, r.hits, r.checked_at"
constexpr int kResultColumns = 7;

PassRow ReadPass(SQLite::Statement& query, int first) {
    PassRow row;
    row.id = query.getColumn(first).getInt64();
    row.shop = query.getColumn(first + 1).getString();
    row.category = query.getColumn(first + 2).getString();
    row.subCategory = query.getColumn(first + 3).getString();
    row.sort = query.getColumn(first + 4).getString();
    row.pageLimit = query.getColumn(first + 5).getInt();
    row.started = query.getColumn(first + 6).getString();
    row.finished = query.getColumn(first + 7).getString();
    row.pagesWalked = query.getColumn(first + 8).getInt();
    row.requests = query.getColumn(first + 9).getInt();
    row.failedRequests = query.getColumn(first + 10).getInt();
    row.stopped = query.getColumn(first + 11).getInt() != 0;
    row.items = query.getColumn(first + 12).getInt();
    row.found = query.getColumn(first + 13).getInt();
    row.walkId = query.getColumn(first + 14).getString();
    return row;
}

// The one reader of RANKMOTH_RESULT_COLUMNS; `row.pass` is already read.
void ReadResult(SQLite::Statement& query, ExportRow& row) {
    row.itemId = query.getColumn(0).getString();
    row.title = query.getColumn(1).getString();
    row.state = StateOf(query.getColumn(2));
    row.page = query.getColumn(3).getInt();
    row.slice = query.getColumn(4).getInt();
    row.hits = query.getColumn(5).getInt();
    row.checkedAt = query.getColumn(6).isNull() ? row.pass.finished : query.getColumn(6).getString();
}

} // namespace

base::Result<std::vector<std::string>> SqliteStore::Shops() {
    return Guard<std::vector<std::string>>("list the shops", [](SQLite::Database& db) {
        std::vector<std::string> shops;
        SQLite::Statement query(db, "SELECT DISTINCT shop FROM passes ORDER BY shop");
        while (query.executeStep())
            shops.push_back(query.getColumn(0).getString());
        return shops;
    });
}

base::Result<std::vector<ItemSummary>> SqliteStore::ItemSummaries(const std::string& shop) {
    return Guard<std::vector<ItemSummary>>("read the items", [&](SQLite::Database& db) {
        std::vector<ItemSummary> summaries;
        SQLite::Statement query(db, "SELECT i.item_id, i.title, s.sort, s.pass_id, s.started, s.state, s.page, "
                                    "s.slice, s.checked_at, s.prev_state, s.prev_page, s.prev_slice, s.best_position "
                                    "FROM items i LEFT JOIN standings s ON s.shop = i.shop AND s.item_id = i.item_id "
                                    "WHERE i.shop = ? ORDER BY i.item_id");
        query.bind(1, shop);
        while (query.executeStep()) {
            std::string itemId = query.getColumn(0).getString();
            if (summaries.empty() || summaries.back().itemId != itemId) {
                summaries.emplace_back();
                summaries.back().itemId = std::move(itemId);
                summaries.back().title = query.getColumn(1).getString();
            }
            ItemSummary& summary = summaries.back();
            const int sort = query.getColumn(2).isNull() ? -1 : SortIndex(query.getColumn(2).getString());
            if (sort < 0)
                continue;
            FoldStanding(summary, sort, ReadStanding(query, 3));
        }
        return summaries;
    });
}

namespace {

// The columns both timeline reads select, after any of their own.
#define RANKMOTH_TIMELINE_COLUMNS "p.sort, p.id, p.started, r.state, r.page, r.slice, p.stopped, p.failed_requests"

// Reads the timeline columns starting at `first` into the item's timeline.
void AddPoint(SQLite::Statement& query, int first, ItemTimeline& timeline) {
    const int sort = SortIndex(query.getColumn(first).getString());
    if (sort < 0)
        return;
    TimelinePoint point;
    point.passId = query.getColumn(first + 1).getInt64();
    point.started = query.getColumn(first + 2).getString();
    point.state = StateOf(query.getColumn(first + 3));
    point.page = query.getColumn(first + 4).getInt();
    point.slice = query.getColumn(first + 5).getInt();
    point.passStopped = query.getColumn(first + 6).getInt() != 0;
    point.passFailed = query.getColumn(first + 7).getInt() > 0;
    timeline.sorts[static_cast<std::size_t>(sort)].push_back(std::move(point));
}

} // namespace

base::Result<ItemTimeline> SqliteStore::Timeline(const std::string& shop, const std::string& itemId) {
    return Guard<ItemTimeline>("read the item's timeline", [&](SQLite::Database& db) {
        ItemTimeline timeline;
        // CROSS JOIN keeps the item's index as the outer loop: one item's results, not every pass of the shop.
        SQLite::Statement query(db, "SELECT " RANKMOTH_TIMELINE_COLUMNS " FROM results r CROSS JOIN passes p ON "
                                    "p.id = r.pass_id WHERE r.item_id = ? AND p.shop = ? ORDER BY p.started, p.id");
        query.bind(1, itemId);
        query.bind(2, shop);
        while (query.executeStep())
            AddPoint(query, 0, timeline);
        return timeline;
    });
}

base::Result<void> SqliteStore::ForEachExportRow(const std::string& shop, const std::string& itemId,
                                                 const std::function<bool(const ExportRow&)>& sink) {
    return Guard<void>("export the history", [&](SQLite::Database& db) {
        ExportRow row;
        if (!itemId.empty()) {
            // One item: its results through the item index, a few thousand rows to order.
            SQLite::Statement query(db, "SELECT " RANKMOTH_RESULT_COLUMNS ", " RANKMOTH_PASS_COLUMNS(
                                            "p") " FROM results r CROSS JOIN passes p ON p.id = r.pass_id "
                                                 "LEFT JOIN items i ON i.shop = p.shop AND i.item_id = r.item_id "
                                                 "WHERE r.item_id = ?2 AND p.shop = ?1 ORDER BY p.started, p.id");
            query.bind(1, shop);
            query.bind(2, itemId);
            while (query.executeStep()) {
                row.pass = ReadPass(query, kResultColumns);
                ReadResult(query, row);
                if (!sink(row))
                    return;
            }
            return;
        }
        // A shop: pass by pass, each pass's results in key order, so its whole history streams out without a sort
        // of its millions of results, and without holding them.
        std::vector<PassRow> passes;
        SQLite::Statement listPasses(db, "SELECT " RANKMOTH_PASS_COLUMNS("p") " FROM passes p WHERE p.shop = ? "
                                                                              "ORDER BY p.started, p.id");
        listPasses.bind(1, shop);
        while (listPasses.executeStep())
            passes.push_back(ReadPass(listPasses, 0));
        SQLite::Statement results(db, "SELECT " RANKMOTH_RESULT_COLUMNS " FROM results r LEFT JOIN items i ON "
                                      "i.shop = ?2 AND i.item_id = r.item_id WHERE r.pass_id = ?1 ORDER BY r.item_id");
        for (PassRow& pass : passes) {
            results.bind(1, pass.id);
            results.bind(2, shop);
            row.pass = std::move(pass);
            while (results.executeStep()) {
                ReadResult(results, row);
                if (!sink(row))
                    return;
            }
            results.reset();
        }
    });
}

base::Result<std::vector<PassRow>> SqliteStore::Passes(const PassFilter& filter) {
    return Guard<std::vector<PassRow>>("list the passes", [&](SQLite::Database& db) {
        std::string sql = "SELECT " RANKMOTH_PASS_COLUMNS("p") " FROM passes p WHERE 1";
        if (!filter.shop.empty())
            sql += " AND p.shop = ?1";
        if (!filter.sort.empty())
            sql += " AND p.sort = ?2";
        if (!filter.since.empty())
            sql += " AND p.started >= ?3";
        if (!filter.itemId.empty())
            sql += " AND EXISTS(SELECT 1 FROM results r WHERE r.pass_id = p.id AND r.item_id = ?4)";
        sql += " ORDER BY p.started, p.id";
        SQLite::Statement query(db, sql);
        if (!filter.shop.empty())
            query.bind(1, filter.shop);
        if (!filter.sort.empty())
            query.bind(2, filter.sort);
        if (!filter.since.empty())
            query.bind(3, filter.since);
        if (!filter.itemId.empty())
            query.bind(4, filter.itemId);
        std::vector<PassRow> rows;
        while (query.executeStep())
            rows.push_back(ReadPass(query, 0));
        return rows;
    });
}

base::Result<std::optional<ExportRow>> SqliteStore::ResultOf(std::int64_t passId, const std::string& itemId) {
    return Guard<std::optional<ExportRow>>("read a result", [&](SQLite::Database& db) {
        SQLite::Statement query(db, "SELECT " RANKMOTH_RESULT_COLUMNS ", " RANKMOTH_PASS_COLUMNS(
                                        "p") " FROM results r JOIN passes p ON p.id = r.pass_id "
                                             "LEFT JOIN items i ON i.shop = p.shop AND i.item_id = r.item_id "
                                             "WHERE r.pass_id = ? AND r.item_id = ?");
        query.bind(1, passId);
        query.bind(2, itemId);
        std::optional<ExportRow> row;
        if (query.executeStep()) {
            row.emplace();
            row->pass = ReadPass(query, kResultColumns);
            ReadResult(query, *row);
        }
        return row;
    });
}

} // namespace rankmoth::history::sqlite
