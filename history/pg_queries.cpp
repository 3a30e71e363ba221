#include "history/pg_store.h"

#include <algorithm>

namespace rankmoth::history::pg {

void ForEachRowOf(pqxx::transaction_base& work, const std::string& cursor, const std::string& query, std::size_t batch,
                  const std::function<bool(const pqxx::row&)>& row) {
    batch = std::max<std::size_t>(batch, 1);
    work.exec("DECLARE " + cursor + " NO SCROLL CURSOR FOR " + query);
    const std::string fetch = "FETCH " + std::to_string(batch) + " FROM " + cursor;
    for (bool more = true; more;) {
        const pqxx::result rows = work.exec(fetch);
        for (const pqxx::row& each : rows)
            if (!row(each)) {
                more = false;
                break;
            }
        more = more && rows.size() == batch;
    }
    work.exec("CLOSE " + cursor);
}

namespace {

#define RANKMOTH_PG_PASS_COLUMNS(p)                                                                                    \
    p ".id, " p ".shop, " p ".category, " p ".sub_category, " p ".sort, " p ".page_limit, " p ".started, " p           \
      ".finished, " p ".pages_walked, " p ".requests, " p ".failed_requests, " p ".stopped, " p ".items, " p           \
      ".found, " p ".walk_id"

// An export row's own columns, as ReadResult reads them; a result without its check time was checked when its
// pass finished.
#define RANKMOTH_PG_RESULT_COLUMNS "r.item_id, coalesce(i.title, ''), r.state, r.page, r.slice, r.hits, r.checked_at"
constexpr int kResultColumns = 7;

PassRow ReadPass(const pqxx::row& row, int first) {
    PassRow pass;
    pass.id = row[first].as<std::int64_t>();
    pass.shop = row[first + 1].c_str();
    pass.category = row[first + 2].c_str();
    pass.subCategory = row[first + 3].c_str();
    pass.sort = row[first + 4].c_str();
    pass.pageLimit = row[first + 5].as<int>();
    pass.started = row[first + 6].c_str();
    pass.finished = row[first + 7].c_str();
    pass.pagesWalked = row[first + 8].as<int>();
    pass.requests = row[first + 9].as<int>();
    pass.failedRequests = row[first + 10].as<int>();
    pass.stopped = row[first + 11].as<int>() != 0;
    pass.items = row[first + 12].as<int>();
    pass.found = row[first + 13].as<int>();
    pass.walkId = row[first + 14].c_str();
    return pass;
}

void ReadResult(const pqxx::row& row, ExportRow& out) {
    out.itemId = row[0].c_str();
    out.title = row[1].c_str();
    out.state = StateOf(row[2]);
    out.page = row[3].as<int>();
    out.slice = row[4].as<int>();
    out.hits = row[5].as<int>();
    out.checkedAt = row[6].is_null() ? out.pass.finished : std::string(row[6].c_str());
}

} // namespace

base::Result<std::vector<std::string>> PgStore::Shops() {
    return Guard<std::vector<std::string>>("list the shops", [](pqxx::connection& db) {
        pqxx::read_transaction work(db);
        std::vector<std::string> shops;
        for (const pqxx::row& row : work.exec("SELECT DISTINCT shop FROM passes ORDER BY shop"))
            shops.emplace_back(row[0].c_str());
        return shops;
    });
}

base::Result<std::vector<ItemSummary>> PgStore::ItemSummaries(const std::string& shop) {
    return Guard<std::vector<ItemSummary>>("read the items", [&](pqxx::connection& db) {
        pqxx::read_transaction work(db);
        std::vector<ItemSummary> summaries;
        for (const pqxx::row& row : work.exec_params(
                 "SELECT i.item_id, i.title, s.sort, s.pass_id, s.started, s.state, s.page, s.slice, s.checked_at, "
                 "s.prev_state, s.prev_page, s.prev_slice, s.best_position FROM items i LEFT JOIN standings s "
                 "ON s.shop = i.shop AND s.item_id = i.item_id WHERE i.shop = $1 ORDER BY i.item_id",
                 shop)) {
            const std::string itemId = row[0].c_str();
            if (summaries.empty() || summaries.back().itemId != itemId) {
                summaries.emplace_back();
                summaries.back().itemId = itemId;
                summaries.back().title = row[1].c_str();
            }
            ItemSummary& summary = summaries.back();
            const int sort = row[2].is_null() ? -1 : SortIndex(row[2].c_str());
            if (sort < 0)
                continue;
            FoldStanding(summary, sort, ReadStanding(row, 3));
        }
        return summaries;
    });
}

void AddTimelinePoint(ItemTimeline& timeline, const pqxx::row& row, int first) {
    const int sort = SortIndex(row[first].c_str());
    if (sort < 0)
        return;
    TimelinePoint point;
    point.passId = row[first + 1].as<std::int64_t>();
    point.started = row[first + 2].c_str();
    point.state = StateOf(row[first + 3]);
    point.page = row[first + 4].as<int>();
    point.slice = row[first + 5].as<int>();
    point.passStopped = row[first + 6].as<int>() != 0;
    point.passFailed = row[first + 7].as<int>() > 0;
    timeline.sorts[static_cast<std::size_t>(sort)].push_back(std::move(point));
}

base::Result<ItemTimeline> PgStore::Timeline(const std::string& shop, const std::string& itemId) {
    return Guard<ItemTimeline>("read the item's timeline", [&](pqxx::connection& db) {
        pqxx::read_transaction work(db);
        ItemTimeline timeline;
        for (const pqxx::row& row :
             work.exec_params("SELECT " RANKMOTH_PG_TIMELINE_COLUMNS
                              " FROM results r JOIN passes p ON p.id = r.pass_id WHERE r.item_id = $1 AND p.shop = $2 "
                              "ORDER BY p.started, p.id",
                              itemId, shop)) {
            AddTimelinePoint(timeline, row, 0);
        }
        return timeline;
    });
}

base::Result<void> PgStore::ForEachExportRow(const std::string& shop, const std::string& itemId,
                                             const std::function<bool(const ExportRow&)>& sink) {
    return Guard<void>("export the history", [&](pqxx::connection& db) {
        // One snapshot for the whole export, so a pass recorded meanwhile is in it whole or not at all.
        pqxx::transaction<pqxx::repeatable_read, pqxx::read_only> work(db);
        ExportRow row;
        if (!itemId.empty()) {
            for (const pqxx::row& found : work.exec_params(
                     "SELECT " RANKMOTH_PG_RESULT_COLUMNS ", " RANKMOTH_PG_PASS_COLUMNS(
                         "p") " FROM results r JOIN passes p ON p.id = r.pass_id LEFT JOIN items i ON "
                              "i.shop = p.shop AND i.item_id = r.item_id WHERE r.item_id = $2 AND p.shop = $1 "
                              "ORDER BY p.started, p.id",
                     shop, itemId)) {
                row.pass = ReadPass(found, kResultColumns);
                ReadResult(found, row);
                if (!sink(row))
                    return;
            }
            return;
        }
        // A shop: pass by pass, so its whole history streams out without holding its millions of results.
        const pqxx::result passes = work.exec_params(
            "SELECT " RANKMOTH_PG_PASS_COLUMNS("p") " FROM passes p WHERE p.shop = $1 ORDER BY p.started, p.id", shop);
        for (const pqxx::row& pass : passes) {
            row.pass = ReadPass(pass, 0);
            for (const pqxx::row& result :
                 work.exec_params("SELECT " RANKMOTH_PG_RESULT_COLUMNS " FROM results r LEFT JOIN items i ON "
                                  "i.shop = $2 AND i.item_id = r.item_id WHERE r.pass_id = $1 ORDER BY r.item_id",
                                  row.pass.id, shop)) {
                ReadResult(result, row);
                if (!sink(row))
                    return;
            }
        }
    });
}

base::Result<std::vector<PassRow>> PgStore::Passes(const PassFilter& filter) {
    return Guard<std::vector<PassRow>>("list the passes", [&](pqxx::connection& db) {
        pqxx::read_transaction work(db);
        // Every filter is always bound; an empty one matches everything.
        const pqxx::result found = work.exec_params(
            "SELECT " RANKMOTH_PG_PASS_COLUMNS("p") " FROM passes p WHERE ($1 = '' OR p.shop = $1) AND "
                                                    "($2 = '' OR p.sort = $2) AND ($3 = '' OR p.started >= $3) AND "
                                                    "($4 = '' OR EXISTS(SELECT 1 FROM results r WHERE "
                                                    "r.pass_id = p.id AND r.item_id = $4)) ORDER BY p.started, p.id",
            filter.shop, filter.sort, filter.since, filter.itemId);
        std::vector<PassRow> rows;
        rows.reserve(found.size());
        for (const pqxx::row& row : found)
            rows.push_back(ReadPass(row, 0));
        return rows;
    });
}

base::Result<std::optional<ExportRow>> PgStore::ResultOf(std::int64_t passId, const std::string& itemId) {
    return Guard<std::optional<ExportRow>>("read a result", [&](pqxx::connection& db) {
        pqxx::read_transaction work(db);
        const pqxx::result found = work.exec_params(
            "SELECT " RANKMOTH_PG_RESULT_COLUMNS ", " RANKMOTH_PG_PASS_COLUMNS(
                "p") " FROM results r JOIN passes p ON p.id = r.pass_id LEFT JOIN items i ON i.shop = p.shop AND "
                     "i.item_id = r.item_id WHERE r.pass_id = $1 AND r.item_id = $2",
            passId, itemId);
        std::optional<ExportRow> row;
        if (!found.empty()) {
            row.emplace();
            row->pass = ReadPass(found[0], kResultColumns);
            ReadResult(found[0], *row);
        }
        return row;
    });
}

} // namespace rankmoth::history::pg
