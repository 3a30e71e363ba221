#include "history/migrate.h"

#include "history/pg_store.h"
#include "history/sqlite_store.h"

#include <set>
#include <tuple>
#include <vector>

namespace rankmoth::history {

namespace {

constexpr std::size_t kPassesPerTransaction = 1000;
constexpr std::size_t kRowsPerInsert = 500;

// What tells one pass from another, whichever engine numbered it.
using PassKey = std::tuple<std::string, std::string, std::string, std::string, std::string, std::string, std::string>;

std::string Literal(const SQLite::Column& column, pqxx::transaction_base& work) {
    return column.isNull() ? std::string("NULL") : work.quote(column.getString());
}

std::string Number(const SQLite::Column& column) {
    return column.isNull() ? std::string("NULL") : std::to_string(column.getInt64());
}

// Rows of `query` as VALUES tuples, `kinds` saying per column 't' for text and 'n' for a number, inserted by
// `head` a few hundred at a time.
void CopyRows(SQLite::Statement& query, const char* kinds, const std::string& head, const std::string& tail,
              pqxx::transaction_base& work) {
    std::string values;
    std::size_t rows = 0;
    const auto flush = [&] {
        if (rows > 0)
            work.exec(head + values + tail);
        values.clear();
        rows = 0;
    };
    while (query.executeStep()) {
        values += rows ? ",(" : "(";
        for (int c = 0; kinds[c]; ++c) {
            values += c ? "," : "";
            values += kinds[c] == 't' ? Literal(query.getColumn(c), work) : Number(query.getColumn(c));
        }
        values += ")";
        if (++rows == kRowsPerInsert)
            flush();
    }
    flush();
}

// The items, their sightings and titles, merged as the stores merge a sighting: the newest title that is not
// empty, the earliest first sighting, the latest last one; whether the latest feed listed it goes with the
// later sighting.
void CopyItems(SQLite::Database& from, pqxx::transaction_base& work) {
    SQLite::Statement items(from, "SELECT shop, item_id, title, first_seen, last_seen, listed FROM items");
    CopyRows(items, "tttttn", "INSERT INTO items(shop, item_id, title, first_seen, last_seen, listed) VALUES ",
             " ON CONFLICT(shop, item_id) DO UPDATE SET "
             "title = CASE WHEN excluded.last_seen >= items.last_seen AND excluded.title <> '' "
             "THEN excluded.title ELSE items.title END, "
             "listed = CASE WHEN excluded.last_seen >= items.last_seen THEN coalesce(excluded.listed, items.listed) "
             "ELSE items.listed END, "
             "first_seen = least(items.first_seen, excluded.first_seen), "
             "last_seen = greatest(items.last_seen, excluded.last_seen)",
             work);
    SQLite::Statement feeds(from, "SELECT shop, loaded_at, items, requests FROM feeds");
    CopyRows(feeds, "ttnn", "INSERT INTO feeds(shop, loaded_at, items, requests) VALUES ",
             " ON CONFLICT(shop, loaded_at) DO NOTHING", work);
    // Runs have no key but their times and watch: one already there is not copied again.
    SQLite::Statement runs(from, "SELECT started, finished, exit_status, watch, passes, failed_requests, reasons, "
                                 "alerts, alert_text, notification_id FROM runs ORDER BY id");
    while (runs.executeStep()) {
        std::string row;
        for (int c = 0; c < 10; ++c)
            row += (c ? "," : "") + (std::string("ttntnntttn")[static_cast<std::size_t>(c)] == 't'
                                         ? Literal(runs.getColumn(c), work)
                                         : Number(runs.getColumn(c)));
        work.exec("INSERT INTO runs(started, finished, exit_status, watch, passes, failed_requests, reasons, alerts, "
                  "alert_text, notification_id) SELECT " +
                  row + " WHERE NOT EXISTS(SELECT 1 FROM runs WHERE started = " + Literal(runs.getColumn(0), work) +
                  " AND finished = " + Literal(runs.getColumn(1), work) +
                  " AND watch = " + Literal(runs.getColumn(3), work) + ")");
    }
    // A host's later strike wins.
    SQLite::Statement hosts(from, "SELECT host, blocked_until, strikes, last_status, last_strike FROM hosts");
    CopyRows(hosts, "ttnnt", "INSERT INTO hosts(host, blocked_until, strikes, last_status, last_strike) VALUES ",
             " ON CONFLICT(host) DO UPDATE SET blocked_until = excluded.blocked_until, strikes = excluded.strikes, "
             "last_status = excluded.last_status, last_strike = excluded.last_strike "
             "WHERE excluded.last_strike > hosts.last_strike",
             work);
}

} // namespace

base::Result<MigrationCount> MigrateToDatabase(const std::string& file, const std::string& url) {
    if (IsDatabaseUrl(file))
        return base::Fail("the history to copy from must be a file, not " + MaskedLocation(file));
    if (!IsDatabaseUrl(url))
        return base::Fail(url + " is not a postgresql:// or postgres:// address");
    auto source = sqlite::OpenForReading(file, kDefaultBusyTimeout);
    if (!source)
        return base::Fail(source.error());
    auto target = pg::Connect(url, Access::ReadWrite, kDefaultBusyTimeout);
    if (!target)
        return base::Fail(target.error());
    SQLite::Database& from = source.value()->db;
    pg::Session& session = *target.value();
    pqxx::connection& db = *session.db;
    MigrationCount count;
    try {
        std::set<PassKey> held;
        {
            pqxx::read_transaction work(db);
            for (const pqxx::row& row :
                 work.exec("SELECT shop, category, sub_category, sort, started, finished, walk_id FROM passes"))
                held.emplace(row[0].c_str(), row[1].c_str(), row[2].c_str(), row[3].c_str(), row[4].c_str(),
                             row[5].c_str(), row[6].c_str());
        }
        SQLite::Statement passes(from, "SELECT id, shop, category, sub_category, sort, page_limit, started, finished, "
                                       "pages_walked, requests, failed_requests, stopped, items, found, walk_id "
                                       "FROM passes ORDER BY started, id");
        SQLite::Statement results(from, "SELECT item_id, state, page, slice, hits, checked_at FROM results "
                                        "WHERE pass_id = ?");
        // Column kinds of the pass row from shop on: text, or a number.
        static constexpr char kPassKinds[] = "ttttnttnnnnnnt";
        std::unique_ptr<pqxx::work> work;
        std::size_t inBatch = 0;
        while (passes.executeStep()) {
            const PassKey key{passes.getColumn(1).getString(), passes.getColumn(2).getString(),
                              passes.getColumn(3).getString(), passes.getColumn(4).getString(),
                              passes.getColumn(6).getString(), passes.getColumn(7).getString(),
                              passes.getColumn(14).getString()};
            if (!held.insert(key).second) {
                ++count.alreadyThere;
                continue;
            }
            if (!work)
                work = std::make_unique<pqxx::work>(db);
            std::string row;
            for (int c = 1; c <= 14; ++c)
                row += (c > 1 ? "," : "") +
                       (kPassKinds[c - 1] == 't' ? Literal(passes.getColumn(c), *work) : Number(passes.getColumn(c)));
            const std::int64_t id =
                work->exec("INSERT INTO passes(shop, category, sub_category, sort, page_limit, started, finished, "
                           "pages_walked, requests, failed_requests, stopped, items, found, walk_id) VALUES(" +
                           row + ") RETURNING id")[0][0]
                    .as<std::int64_t>();
            results.bind(1, passes.getColumn(0).getInt64());
            CopyRows(results, "ttnnnt",
                     "INSERT INTO results(pass_id, item_id, state, page, slice, hits, checked_at) SELECT " +
                         std::to_string(id) + ", * FROM (VALUES ",
                     ") AS r", *work);
            results.reset();
            ++count.copied;
            if (++inBatch == kPassesPerTransaction) {
                work->commit();
                work.reset();
                inBatch = 0;
            }
        }
        if (!work)
            work = std::make_unique<pqxx::work>(db);
        CopyItems(from, *work);
        // Every shop of the file, copied now or by a run cut short before it got here.
        SQLite::Statement shops(from, "SELECT DISTINCT shop FROM passes");
        while (shops.executeStep()) {
            pg::LockShop(*work, shops.getColumn(0).getString());
            pg::RebuildShopStandingsIn(*work, shops.getColumn(0).getString());
        }
        work->commit();
        // Tables filled in one go have no statistics until autovacuum comes round, and without them the planner
        // reads a shop's results one index probe at a time. The copy is committed by now, so an analysis that
        // fails (cancelled, timed out, the connection lost) leaves the statistics to autovacuum rather than turn
        // a kept copy into a reported failure.
        if (count.copied > 0) {
            try {
                pqxx::nontransaction(db).exec("ANALYZE passes, results, items, standings, feeds");
            } catch (const pqxx::failure&) {
            }
        }
    } catch (const SQLite::Exception& e) {
        return base::Fail(
            sqlite::Describe("read the history", file, e.getErrorCode(), e.getErrorStr(), kDefaultBusyTimeout));
    } catch (const pqxx::broken_connection& e) {
        return base::Fail(pg::DescribeLostConnection("copy the history", session.target, e.what()));
    } catch (const pqxx::sql_error& e) {
        return base::Fail(pg::DescribeSqlFailure("copy the history", session, e));
    } catch (const std::exception& e) {
        return base::Fail(std::string("Cannot copy the history: ") + e.what());
    }
    return count;
}

} // namespace rankmoth::history
