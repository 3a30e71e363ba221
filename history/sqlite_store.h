#pragma once

#include "history/history_store.h"
#include "history/standing.h"

#include <SQLiteCpp/SQLiteCpp.h>

#include <chrono>
#include <exception>
#include <memory>
#include <string>
#include <type_traits>

// The SQLite store, in files by job: sqlite_schema.cpp opens and brings the schema forward, sqlite_pass_writer.cpp
// records passes, sqlite_queries.cpp reads, sqlite_maintenance.cpp deletes, rebuilds and tidies side files.
namespace rankmoth::history::sqlite {

// The schema this build writes. Version 1 lacked the per-sort standings, results' check times and the passes'
// item counts; version 2 the passes' walk and the record of feed loads;
// version 3 the work of the rounds that machines sharing a history split.
inline constexpr int kSchemaVersion = 4;

// Keeps an item's first and last sighting and its newest title: ?1 shop, ?2 item, ?3 title, ?4 when seen.
// The newest title wins, whichever order sightings arrive in; an empty title never replaces one.
inline constexpr const char* kUpsertItem =
    "INSERT INTO items(shop, item_id, title, first_seen, last_seen) VALUES(?1, ?2, ?3, ?4, ?4) "
    "ON CONFLICT(shop, item_id) DO UPDATE SET "
    "title = CASE WHEN excluded.last_seen >= items.last_seen AND excluded.title <> '' "
    "THEN excluded.title ELSE items.title END, "
    "first_seen = min(items.first_seen, excluded.first_seen), "
    "last_seen = max(items.last_seen, excluded.last_seen)";

// Removes, once the connection declared after it has closed, the -wal and -shm files that reading made.
struct SideFileTidier {
    std::string path; // empty: nothing to tidy
    ~SideFileTidier();
};

struct Connection {
    SideFileTidier tidier; // declared first: it acts after the database below has closed
    SQLite::Database db;
    std::string path;
    std::chrono::milliseconds busyTimeout;
};

// Words a seller can act on, from an SQLite failure while doing `action` with the file at `path`.
std::string Describe(const std::string& action, const std::string& path, int code, const std::string& detail,
                     std::chrono::milliseconds busyTimeout);

// Runs `body` and turns whatever it throws into the failure of `action` on the file at `path`. `body` returns a
// T, a Result<T>, or nothing for Result<void>.
template <typename T, typename Body>
base::Result<T> Caught(const char* action, const std::string& path, std::chrono::milliseconds busyTimeout,
                       Body&& body) {
    try {
        if constexpr (std::is_void_v<T>) {
            body();
            return {};
        } else {
            return body();
        }
    } catch (const SQLite::Exception& e) {
        return base::Fail(Describe(action, path, e.getErrorCode(), e.getErrorStr(), busyTimeout));
    } catch (const std::exception& e) {
        return base::Fail(std::string("Cannot ") + action + ": " + e.what());
    }
}

// The same on the open database, which `body` is given.
template <typename T, typename Body> base::Result<T> Guarded(Connection* connection, const char* action, Body&& body) {
    if (!connection)
        return base::Fail(std::string("Cannot ") + action + ": the history is not open.");
    return Caught<T>(action, connection->path, connection->busyTimeout, [&] { return body(connection->db); });
}

base::Result<std::unique_ptr<Connection>> OpenForWriting(const std::string& path,
                                                         std::chrono::milliseconds busyTimeout);
base::Result<std::unique_ptr<Connection>> OpenForReading(const std::string& path,
                                                         std::chrono::milliseconds busyTimeout);

void RebuildStandingsIn(SQLite::Database& db);
// A standings row from `query`'s columns pass_id, started, state, page, slice, checked_at, prev_state,
// prev_page, prev_slice, best_position from `first` on.
Standing ReadStanding(SQLite::Statement& query, int first);
// Binds the whole standings row, in table order.
void BindStanding(SQLite::Statement& write, const std::string& shop, const std::string& itemId, const std::string& sort,
                  const Standing& standing);

base::ItemState StateOf(const SQLite::Column& column);

class SqliteStore final : public Store {
public:
    explicit SqliteStore(std::unique_ptr<Connection> connection) : connection_(std::move(connection)) {}

    const std::string& location() const override { return connection_->path; }
    base::Result<std::int64_t> RecordPass(const base::PassOutcome& pass) override;
    base::Result<std::optional<Baseline>> BaselineFor(const base::PassOutcome& pass) override;
    base::Result<std::vector<std::string>> Shops() override;
    base::Result<std::vector<ItemSummary>> ItemSummaries(const std::string& shop) override;
    base::Result<ItemTimeline> Timeline(const std::string& shop, const std::string& itemId) override;
    base::Result<void> ForEachTimeline(const std::string& shop, const TimelineSink& sink,
                                       std::size_t resultsAtOnce = kResultsAtOnce) override;
    base::Result<void> ForEachExportRow(const std::string& shop, const std::string& itemId,
                                        const std::function<bool(const ExportRow&)>& sink) override;
    base::Result<void> DeleteItem(const std::string& shop, const std::string& itemId) override;
    base::Result<void> DeleteShop(const std::string& shop) override;
    base::Result<void> RebuildStandings() override;
    base::Result<std::vector<PassRow>> Passes(const PassFilter& filter) override;
    base::Result<std::optional<ExportRow>> ResultOf(std::int64_t passId, const std::string& itemId) override;
    base::Result<FeedChange> RecordFeed(const FeedSnapshot& feed) override;
    base::Result<std::optional<FeedRow>> LatestFeed(const std::string& shop) override;
    base::Result<std::vector<ItemSighting>> RetiredItems(const std::string& shop) override;
    base::Result<std::optional<double>> SecondsPerRequest(int passes) override;
    base::Result<std::int64_t> RecordRun(const RunRow& run) override;
    base::Result<std::optional<RunRow>> LatestRun() override;
    base::Result<std::vector<web::HostBackoff>> Backoffs() override;
    base::Result<void> SaveBackoff(const web::HostBackoff& backoff) override;
    base::Result<void> OpenRound(const std::string& round, const std::vector<WorkPiece>& work) override;
    base::Result<std::optional<WorkRow>> ClaimWork(const std::string& round, const std::string& kind,
                                                   const std::string& worker, std::chrono::seconds lease) override;
    base::Result<bool> RenewLease(const std::string& round, const std::string& piece, const std::string& worker,
                                  std::chrono::seconds lease) override;
    base::Result<bool> FinishWork(const std::string& round, const std::string& piece,
                                  const std::string& worker) override;
    base::Result<std::vector<WorkRow>> RoundWork(const std::string& round) override;
    base::Result<std::vector<std::pair<std::string, std::string>>> ListedItems(const std::string& shop) override;

private:
    template <typename T, typename Body> base::Result<T> Guard(const char* action, Body&& body) {
        return Guarded<T>(connection_.get(), action, std::forward<Body>(body));
    }

    std::unique_ptr<Connection> connection_;
};

} // namespace rankmoth::history::sqlite
