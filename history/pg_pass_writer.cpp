#include "history/pg_store.h"

#include "history/place_label.h"

#include <map>
#include <set>
#include <tuple>

namespace rankmoth::history::pg {

namespace {

// Keeps the items' first and last sightings and newest titles, by the SQLite store's rule: the newest title
// wins, whichever order sightings arrive in; an empty title never replaces one.
constexpr const char* kUpsertItems = " ON CONFLICT(shop, item_id) DO UPDATE SET "
                                     "title = CASE WHEN excluded.last_seen >= items.last_seen AND excluded.title <> '' "
                                     "THEN excluded.title ELSE items.title END, "
                                     "first_seen = least(items.first_seen, excluded.first_seen), "
                                     "last_seen = greatest(items.last_seen, excluded.last_seen)";

} // namespace

base::ItemState StateOf(const pqxx::field& field) {
    base::ItemState state = base::ItemState::Incomplete;
    base::StateFromName(field.c_str(), state);
    return state;
}

Standing ReadStanding(const pqxx::row& row, int first) {
    Standing standing;
    standing.passId = row[first].as<std::int64_t>();
    standing.started = row[first + 1].c_str();
    standing.latest = {StateOf(row[first + 2]), row[first + 3].as<int>(), row[first + 4].as<int>()};
    standing.checkedAt = row[first + 5].c_str();
    if (!row[first + 6].is_null())
        standing.previous = Place{StateOf(row[first + 6]), row[first + 7].as<int>(), row[first + 8].as<int>()};
    standing.bestPosition = row[first + 9].as<int>();
    return standing;
}

void InsertRows(pqxx::transaction_base& work, const std::string& head, const std::vector<std::string>& rows,
                const std::string& tail) {
    // A few hundred rows a statement: one round trip each rather than one a row, for a server across a network.
    constexpr std::size_t kRowsPerStatement = 500;
    for (std::size_t first = 0; first < rows.size(); first += kRowsPerStatement) {
        std::string sql = head;
        for (std::size_t i = first; i < std::min(rows.size(), first + kRowsPerStatement); ++i)
            sql += (i > first ? ",(" : "(") + rows[i] + ")";
        work.exec(sql + tail);
    }
}

std::string StandingRow(pqxx::transaction_base& work, const std::string& shop, const std::string& itemId,
                        const std::string& sort, const Standing& standing) {
    const auto number = [](int n) { return "," + std::to_string(n); };
    std::string row = work.quote(shop) + "," + work.quote(itemId) + "," + work.quote(sort) + "," +
                      std::to_string(standing.passId) + "," + work.quote(standing.started) + "," +
                      work.quote(std::string(base::StateName(standing.latest.state))) + number(standing.latest.page) +
                      number(standing.latest.slice) + "," + work.quote(standing.checkedAt);
    if (standing.previous)
        row += "," + work.quote(std::string(base::StateName(standing.previous->state))) +
               number(standing.previous->page) + number(standing.previous->slice);
    else
        row += ",NULL,NULL::integer,NULL::integer";
    return row + number(standing.bestPosition);
}

void WriteStandings(pqxx::transaction_base& work, const std::vector<std::string>& rows) {
    InsertRows(work, "INSERT INTO standings VALUES ", rows,
               " ON CONFLICT(shop, item_id, sort) DO UPDATE SET pass_id = excluded.pass_id, "
               "started = excluded.started, state = excluded.state, page = excluded.page, "
               "slice = excluded.slice, checked_at = excluded.checked_at, prev_state = excluded.prev_state, "
               "prev_page = excluded.prev_page, prev_slice = excluded.prev_slice, "
               "best_position = excluded.best_position");
}

base::Result<std::int64_t> PgStore::RecordPass(const base::PassOutcome& pass) {
    return Guard<std::int64_t>("record the pass", [&](pqxx::connection& db) {
        const std::string shop = pass.request.shop.ToUtf8();
        const std::string& sort = pass.request.sort;
        const std::string started = IsoTime(pass.started);
        const std::string finished = IsoTime(pass.finished);

        const auto [items, found] = ResultsToKeep(pass);

        pqxx::work work(db);
        LockShop(work, shop);
        const std::int64_t passId =
            work.exec_params1("INSERT INTO passes(shop, category, sub_category, sort, page_limit, started, finished, "
                              "pages_walked, requests, failed_requests, stopped, items, found, walk_id) "
                              "VALUES($1, $2, $3, $4, $5, $6, $7, $8, $9, $10, $11, $12, $13, $14) RETURNING id",
                              shop, pass.request.category, pass.request.subCategory.ToUtf8(), sort,
                              pass.request.pageLimit, started, finished, pass.pagesWalked, pass.requests,
                              pass.failedRequests, pass.stopped ? 1 : 0, static_cast<int>(items.size()), found,
                              pass.walkId)[0]
                .as<std::int64_t>();

        // The standings of the pass's sort, read once rather than an item at a time.
        std::map<std::string, Standing> held;
        for (const pqxx::row& row : work.exec_params(
                 "SELECT item_id, pass_id, started, state, page, slice, checked_at, prev_state, prev_page, "
                 "prev_slice, best_position FROM standings WHERE shop = $1 AND sort = $2",
                 shop, sort))
            held.emplace(row[0].c_str(), ReadStanding(row, 1));

        std::vector<std::string> results, sightings, standings;
        const std::string quotedShop = work.quote(shop);
        const std::string quotedStarted = work.quote(started);
        for (const base::ItemResult* item : items) {
            const std::string itemId = item->itemId.ToUtf8();
            const bool isFound = item->state == base::ItemState::Found;
            const PassObservation observed{passId,
                                           started,
                                           {item->state, isFound ? item->page : 0, isFound ? item->slice : 0},
                                           item->checkedAt == base::Clock::time_point{} ? finished
                                                                                        : IsoTime(item->checkedAt)};
            results.push_back(std::to_string(passId) + "," + work.quote(itemId) + "," +
                              work.quote(std::string(base::StateName(item->state))) + "," +
                              std::to_string(observed.place.page) + "," + std::to_string(observed.place.slice) + "," +
                              std::to_string(item->hits) + "," + work.quote(observed.checkedAt));
            sightings.push_back(quotedShop + "," + work.quote(itemId) + "," + work.quote(item->title.ToUtf8()) + "," +
                                quotedStarted + "," + quotedStarted);
            const auto standing = held.find(itemId);
            standings.push_back(
                StandingRow(work, shop, itemId, sort,
                            AdvanceStanding(standing == held.end() ? nullptr : &standing->second, observed)));
        }
        InsertRows(work, "INSERT INTO results(pass_id, item_id, state, page, slice, hits, checked_at) VALUES ", results,
                   "");
        InsertRows(work, "INSERT INTO items(shop, item_id, title, first_seen, last_seen) VALUES ", sightings,
                   kUpsertItems);
        WriteStandings(work, standings);
        work.commit();
        return passId;
    });
}

base::Result<std::optional<Baseline>> PgStore::BaselineFor(const base::PassOutcome& pass) {
    return Guard<std::optional<Baseline>>("read the previous pass", [&](pqxx::connection& db) {
        pqxx::read_transaction work(db);
        const pqxx::result latest =
            work.exec_params("SELECT id, page_limit FROM passes WHERE shop = $1 AND sort = $2 AND category = $3 AND "
                             "sub_category = $4 AND started < $5 AND stopped = 0 AND failed_requests = 0 "
                             "ORDER BY started DESC, id DESC LIMIT 1",
                             pass.request.shop.ToUtf8(), pass.request.sort, pass.request.category,
                             pass.request.subCategory.ToUtf8(), IsoTime(pass.started));
        if (latest.empty())
            return std::optional<Baseline>();
        Baseline baseline;
        baseline.passId = latest[0][0].as<std::int64_t>();
        baseline.pageLimit = latest[0][1].as<int>();
        for (const pqxx::row& row :
             work.exec_params("SELECT item_id, state, page, slice FROM results WHERE pass_id = $1", baseline.passId))
            baseline.items.push_back({row[0].c_str(), StateOf(row[1]), row[2].as<int>(), row[3].as<int>()});
        return std::optional<Baseline>(std::move(baseline));
    });
}

// Rebuilds a shop's standings from its results, passes in time order, as the SQLite store's rebuild does: one
// query, so a shop's history is read once and in sequence.
void RebuildShopStandingsIn(pqxx::transaction_base& work, const std::string& shop) {
    std::map<std::pair<std::string, std::string>, Standing> standings; // by item and sort
    // A shop's every result in order, which a large history holds millions of: read through a cursor.
    ForEachRowOf(work, "shop_standings",
                 "SELECT p.id, p.sort, p.started, p.finished, r.item_id, r.state, r.page, r.slice, r.checked_at "
                 "FROM passes p JOIN results r ON r.pass_id = p.id WHERE p.shop = " +
                     work.quote(shop) + " ORDER BY p.started, p.id",
                 kRowsAFetch, [&](const pqxx::row& row) {
                     PassObservation seen{row[0].as<std::int64_t>(),
                                          row[2].c_str(),
                                          {StateOf(row[5]), row[6].as<int>(), row[7].as<int>()},
                                          row[8].is_null() ? "" : row[8].c_str()};
                     if (seen.checkedAt.empty())
                         seen.checkedAt = row[3].c_str();
                     const auto [held, first] = standings.try_emplace({row[4].c_str(), row[1].c_str()});
                     held->second = AdvanceStanding(first ? nullptr : &held->second, seen);
                     return true;
                 });
    work.exec_params("DELETE FROM standings WHERE shop = $1", shop);
    std::vector<std::string> rows;
    rows.reserve(standings.size());
    for (const auto& [key, standing] : standings)
        rows.push_back(StandingRow(work, shop, key.first, key.second, standing));
    WriteStandings(work, rows);
}

void RebuildStandingsIn(pqxx::transaction_base& work) {
    work.exec("LOCK TABLE standings IN EXCLUSIVE MODE");
    work.exec("DELETE FROM standings");
    for (const pqxx::row& shop : work.exec("SELECT DISTINCT shop FROM passes"))
        RebuildShopStandingsIn(work, shop[0].c_str());
}

base::Result<void> PgStore::DeleteItem(const std::string& shop, const std::string& itemId) {
    return Guard<void>("delete the item's history", [&](pqxx::connection& db) {
        pqxx::work work(db);
        LockShop(work, shop);
        // The passes stay (they walked the listing for the other items too), so their counts drop the item.
        work.exec_params("UPDATE passes SET items = items - 1, found = found - (SELECT CASE WHEN state = 'found' "
                         "THEN 1 ELSE 0 END FROM results WHERE pass_id = passes.id AND item_id = $2) "
                         "WHERE shop = $1 AND id IN (SELECT pass_id FROM results WHERE item_id = $2)",
                         shop, itemId);
        for (const char* sql : {"DELETE FROM results WHERE item_id = $2 AND pass_id IN "
                                "(SELECT id FROM passes WHERE shop = $1)",
                                "DELETE FROM items WHERE shop = $1 AND item_id = $2",
                                "DELETE FROM standings WHERE shop = $1 AND item_id = $2"})
            work.exec_params(sql, shop, itemId);
        work.commit();
    });
}

base::Result<void> PgStore::DeleteShop(const std::string& shop) {
    return Guard<void>("delete the shop's history", [&](pqxx::connection& db) {
        pqxx::work work(db);
        LockShop(work, shop);
        for (const char* sql : {"DELETE FROM results WHERE pass_id IN (SELECT id FROM passes WHERE shop = $1)",
                                "DELETE FROM passes WHERE shop = $1", "DELETE FROM items WHERE shop = $1",
                                "DELETE FROM standings WHERE shop = $1", "DELETE FROM feeds WHERE shop = $1"})
            work.exec_params(sql, shop);
        work.commit();
    });
}

base::Result<void> PgStore::RebuildStandings() {
    return Guard<void>("rebuild the standings", [](pqxx::connection& db) {
        pqxx::work work(db);
        RebuildStandingsIn(work);
        work.commit();
    });
}

} // namespace rankmoth::history::pg
