#pragma once

#include "history/history_store.h"
#include "history/standing.h"

#include <pqxx/pqxx>

#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

// The PostgreSQL store, for a history several machines share, in files by job like the SQLite one: pg_schema.cpp
// connects and brings the schema forward, pg_pass_writer.cpp records passes and rebuilds standings, pg_queries.cpp
// reads, pg_watch_runs.cpp keeps feed loads, runs and hosts.
namespace rankmoth::history::pg {

// The same tables and columns as the SQLite file's schema of the same number, so a history moves between the two
// without translation and "schema 4" means one thing whichever engine keeps it.
inline constexpr int kSchemaVersion = 4;

// The parts of a database URL that messages name, and the password they must never show.
struct Target {
    std::string url;      // as given, for libpq
    std::string masked;   // the password replaced by ***
    std::string host;     // the host or socket folder libpq will try
    std::string password; // to scrub from libpq's words, which may quote the URL
};

// Everything one store holds: the connection, and how long a writer waits for another's locks.
struct Session {
    Target target;
    std::chrono::milliseconds busyTimeout;
    std::unique_ptr<pqxx::connection> db;
};

// Words a seller can act on for a failure while doing `action`; the first line of libpq's words only, the
// password scrubbed from them.
std::string DescribeSqlFailure(const std::string& action, const Session& session, const pqxx::sql_error& e);
std::string DescribeLostConnection(const std::string& action, const Target& target, const std::string& detail);

template <typename T, typename Body> base::Result<T> Guarded(Session* session, const char* action, Body&& body) {
    if (!session || !session->db)
        return base::Fail(std::string("Cannot ") + action + ": the history is not open.");
    try {
        if constexpr (std::is_void_v<T>) {
            body(*session->db);
            return {};
        } else {
            return body(*session->db);
        }
    } catch (const pqxx::broken_connection& e) {
        return base::Fail(DescribeLostConnection(action, session->target, e.what()));
    } catch (const pqxx::sql_error& e) {
        return base::Fail(DescribeSqlFailure(action, *session, e));
    } catch (const std::exception& e) {
        return base::Fail(DescribeLostConnection(action, session->target, e.what()));
    }
}

// Holds every other writer of the same shop off until the transaction ends: a pass's standings are read and then
// written, and two machines recording the same shop at once must not lose one of the two moves.
void LockShop(pqxx::transaction_base& work, const std::string& shop);

base::Result<std::unique_ptr<Session>> Connect(const std::string& url, Access access,
                                               std::chrono::milliseconds busyTimeout);

// Hands the rows of `query` to `row` a batch of at most `batch` at a time, through a cursor named `cursor` in
// `work`, so that a result of any size is never held whole (libpq keeps a plain query's whole answer in
// memory). Stops early when `row` returns false; the cursor is closed either way, so the name can be used
// again in the same transaction.
void ForEachRowOf(pqxx::transaction_base& work, const std::string& cursor, const std::string& query, std::size_t batch,
                  const std::function<bool(const pqxx::row&)>& row);
// Rows a fetch brings over: enough that round trips cost nothing beside the rows, few enough that a batch of
// them is small beside one large item's history.
constexpr std::size_t kRowsAFetch = 20'000;

void RebuildStandingsIn(pqxx::transaction_base& work);
void RebuildShopStandingsIn(pqxx::transaction_base& work, const std::string& shop);
// A standings row from `row`'s columns pass_id, started, state, page, slice, checked_at, prev_state, prev_page,
// prev_slice, best_position from `first` on.
Standing ReadStanding(const pqxx::row& row, int first);
// Inserts `rows` (each the inside of a VALUES tuple, its literals quoted) after `head`, with `tail` (an ON
// CONFLICT clause, or nothing) after each statement's rows.
void InsertRows(pqxx::transaction_base& work, const std::string& head, const std::vector<std::string>& rows,
                const std::string& tail);
// A whole standings row, in table order, as InsertRows takes it; WriteStandings replaces the rows held.
std::string StandingRow(pqxx::transaction_base& work, const std::string& shop, const std::string& itemId,
                        const std::string& sort, const Standing& standing);
void WriteStandings(pqxx::transaction_base& work, const std::vector<std::string>& rows);
base::ItemState StateOf(const pqxx::field& field);
// A timeline's columns, as AddTimelinePoint reads them from a join of results `r` with passes `p`.
#define RANKMOTH_PG_TIMELINE_COLUMNS "p.sort, p.id, p.started, r.state, r.page, r.slice, p.stopped, p.failed_requests"
// Adds the point in `row`'s timeline columns, from `first` on, to its sort's line; a pass of a sort no longer
// offered is left out.
void AddTimelinePoint(ItemTimeline& timeline, const pqxx::row& row, int first);

class PgStore final : public Store {
public:
    explicit PgStore(std::unique_ptr<Session> session) : session_(std::move(session)) {}

    const std::string& location() const override { return session_->target.masked; }
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
        return Guarded<T>(session_.get(), action, std::forward<Body>(body));
    }

    std::unique_ptr<Session> session_;
};

} // namespace rankmoth::history::pg
