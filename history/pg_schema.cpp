#include "history/pg_store.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace rankmoth::history::pg {

namespace {

// The latest shape, created whole in an empty database. Text compares byte by byte ("C"), as SQLite's does, so
// that every listing comes out in the same order from either engine.
constexpr const char* kSchema3 = R"sql(
CREATE TABLE passes(
    id BIGSERIAL PRIMARY KEY,
    shop TEXT COLLATE "C" NOT NULL,
    category TEXT COLLATE "C" NOT NULL,
    sub_category TEXT COLLATE "C" NOT NULL DEFAULT '',
    sort TEXT COLLATE "C" NOT NULL,
    page_limit INTEGER NOT NULL,
    started TEXT COLLATE "C" NOT NULL,
    finished TEXT COLLATE "C" NOT NULL,
    pages_walked INTEGER NOT NULL,
    requests INTEGER NOT NULL,
    failed_requests INTEGER NOT NULL,
    stopped INTEGER NOT NULL,
    items INTEGER NOT NULL DEFAULT 0,
    found INTEGER NOT NULL DEFAULT 0,
    walk_id TEXT COLLATE "C" NOT NULL DEFAULT '');
CREATE INDEX passes_by_shop ON passes(shop, sort, started);
CREATE INDEX passes_by_start ON passes(started);
CREATE TABLE results(
    pass_id BIGINT NOT NULL REFERENCES passes(id) ON DELETE CASCADE,
    item_id TEXT COLLATE "C" NOT NULL,
    state TEXT COLLATE "C" NOT NULL CHECK(state IN ('found', 'not_found', 'incomplete')),
    page INTEGER NOT NULL,
    slice INTEGER NOT NULL,
    hits INTEGER NOT NULL,
    checked_at TEXT COLLATE "C",
    PRIMARY KEY(pass_id, item_id));
CREATE INDEX results_by_item ON results(item_id, pass_id);
CREATE TABLE items(
    shop TEXT COLLATE "C" NOT NULL,
    item_id TEXT COLLATE "C" NOT NULL,
    title TEXT COLLATE "C" NOT NULL,
    first_seen TEXT COLLATE "C" NOT NULL,
    last_seen TEXT COLLATE "C" NOT NULL,
    listed INTEGER,
    PRIMARY KEY(shop, item_id));
CREATE TABLE standings(
    shop TEXT COLLATE "C" NOT NULL,
    item_id TEXT COLLATE "C" NOT NULL,
    sort TEXT COLLATE "C" NOT NULL,
    pass_id BIGINT NOT NULL,
    started TEXT COLLATE "C" NOT NULL,
    state TEXT COLLATE "C" NOT NULL,
    page INTEGER NOT NULL,
    slice INTEGER NOT NULL,
    checked_at TEXT COLLATE "C" NOT NULL,
    prev_state TEXT COLLATE "C",
    prev_page INTEGER,
    prev_slice INTEGER,
    best_position INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY(shop, item_id, sort));
CREATE TABLE feeds(
    shop TEXT COLLATE "C" NOT NULL,
    loaded_at TEXT COLLATE "C" NOT NULL,
    items INTEGER NOT NULL,
    requests INTEGER NOT NULL,
    PRIMARY KEY(shop, loaded_at));
CREATE TABLE runs(
    id BIGSERIAL PRIMARY KEY,
    started TEXT COLLATE "C" NOT NULL,
    finished TEXT COLLATE "C" NOT NULL,
    exit_status INTEGER NOT NULL,
    watch TEXT COLLATE "C" NOT NULL,
    passes INTEGER NOT NULL,
    failed_requests INTEGER NOT NULL,
    reasons TEXT COLLATE "C" NOT NULL,
    alerts TEXT COLLATE "C" NOT NULL,
    alert_text TEXT COLLATE "C" NOT NULL,
    notification_id BIGINT NOT NULL);
CREATE TABLE hosts(
    host TEXT COLLATE "C" PRIMARY KEY,
    blocked_until TEXT COLLATE "C" NOT NULL,
    strikes INTEGER NOT NULL,
    last_status INTEGER NOT NULL,
    last_strike TEXT COLLATE "C" NOT NULL);
)sql";

// Version 4: each round's work, as the SQLite file's version 4 keeps it.
constexpr const char* kMigrateTo4 = R"sql(
CREATE TABLE round_work(
    id BIGSERIAL PRIMARY KEY,
    round TEXT COLLATE "C" NOT NULL,
    kind TEXT COLLATE "C" NOT NULL,
    piece TEXT COLLATE "C" NOT NULL,
    position INTEGER NOT NULL,
    opened_at TEXT COLLATE "C" NOT NULL,
    worker TEXT COLLATE "C" NOT NULL DEFAULT '',
    claimed_at TEXT COLLATE "C" NOT NULL DEFAULT '',
    lease_until TEXT COLLATE "C" NOT NULL DEFAULT '',
    finished_at TEXT COLLATE "C" NOT NULL DEFAULT '',
    claims INTEGER NOT NULL DEFAULT 0,
    UNIQUE(round, piece));
CREATE INDEX round_work_by_opening ON round_work(opened_at);
)sql";

// The lock every process creating or migrating the schema takes first, so two first runs at once do not both
// create the tables.
constexpr long long kSchemaLock = 0x52616e6b6d6f7401; // "Rankmot" and 1

std::string FirstLine(std::string text) {
    const std::size_t end = text.find('\n');
    if (end != std::string::npos)
        text.resize(end);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\r' || text.back() == '.'))
        text.pop_back();
    return text;
}

std::string Scrubbed(std::string text, const std::string& password) {
    if (password.empty())
        return text;
    for (std::size_t at = text.find(password); at != std::string::npos; at = text.find(password, at + 3))
        text.replace(at, password.size(), "***");
    return text;
}

// The host, port and password as libpq itself reads them from the URL.
base::Result<Target> TargetOf(const std::string& url) {
    Target target{url, MaskedLocation(url), {}, {}};
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(url.c_str(), &error);
    if (!options) {
        const std::string why = error ? FirstLine(error) : "out of memory";
        PQfreemem(error);
        return base::Fail("Cannot open the history: " + target.masked + " is not a database URL libpq can read (" +
                          why + ").");
    }
    std::string host, port;
    for (PQconninfoOption* option = options; option->keyword; ++option) {
        const std::string_view key = option->keyword;
        const std::string value = option->val ? option->val : "";
        if (key == "host" || (key == "hostaddr" && host.empty()))
            host = value;
        else if (key == "port")
            port = value;
        else if (key == "password")
            target.password = value;
    }
    PQconninfoFree(options);
    if (host.empty())
        host = std::getenv("PGHOST") && *std::getenv("PGHOST") ? std::getenv("PGHOST") : "localhost";
    target.host = port.empty() ? host : host + " port " + port;
    return target;
}

// libpq waits for an unreachable host as long as the system lets it; a seller waits ten seconds at most.
std::string WithConnectTimeout(const std::string& url) {
    if (url.find("connect_timeout=") != std::string::npos || std::getenv("PGCONNECT_TIMEOUT"))
        return url;
    return url + (url.find('?') == std::string::npos ? "?" : "&") + "connect_timeout=10";
}

int VersionOf(pqxx::transaction_base& work) {
    if (work.exec("SELECT to_regclass('rankmoth_schema')")[0][0].is_null())
        return 0;
    const pqxx::result version = work.exec("SELECT max(version) FROM rankmoth_schema");
    return version[0][0].is_null() ? 0 : version[0][0].as<int>();
}

// Tables of ours in a database that does not say it is a history: another program's, best left alone.
bool HoldsForeignTables(pqxx::transaction_base& work) {
    return work.exec("SELECT count(*) FROM information_schema.tables WHERE table_schema = current_schema() AND "
                     "table_name IN ('passes', 'results', 'items', 'standings', 'feeds', 'runs', 'hosts', 'round_work')")[0][0]
               .as<int>() > 0;
}

} // namespace

std::string DescribeLostConnection(const std::string& action, const Target& target, const std::string& detail) {
    // The server answered, and said no: a database, user or password it does not know.
    const std::size_t fatal = detail.find("FATAL:");
    if (fatal != std::string::npos) {
        std::string why = FirstLine(detail.substr(fatal + 6));
        why.erase(0, std::min(why.find_first_not_of(' '), why.size()));
        return "Cannot " + action + ": the history database server at host " + target.host +
               " refused: " + Scrubbed(why, target.password) + ".";
    }
    return "Cannot " + action + ": cannot reach the history database at host " + target.host + ": " +
           Scrubbed(FirstLine(detail), target.password) + ".";
}

std::string DescribeSqlFailure(const std::string& action, const Session& session, const pqxx::sql_error& e) {
    const std::string& state = e.sqlstate();
    const std::string where = "the history database " + session.target.masked;
    const std::string detail = Scrubbed(FirstLine(e.what()), session.target.password);
    if (state == "55P03" || state == "40P01")
        return "Cannot " + action + ": " + where + " stayed locked by another program for more than " +
               std::to_string(std::chrono::duration_cast<std::chrono::seconds>(session.busyTimeout).count()) + " s.";
    if (state == "42501" || state == "25006")
        return "Cannot " + action + ": the database user may not write " + where + " (" + detail + ").";
    if (state == "53100")
        return "Cannot " + action + ": the disc of the server holding " + where + " is full.";
    if (state.rfind("08", 0) == 0 || state.rfind("57P", 0) == 0)
        return DescribeLostConnection(action, session.target, detail);
    return "Cannot " + action + " in " + where + ": " + detail + ".";
}

void LockShop(pqxx::transaction_base& work, const std::string& shop) {
    work.exec_params("SELECT pg_advisory_xact_lock(1382706797, hashtext($1))", shop);
}

base::Result<std::unique_ptr<Session>> Connect(const std::string& url, Access access,
                                               std::chrono::milliseconds busyTimeout) {
    base::Result<Target> target = TargetOf(url);
    if (!target)
        return base::Fail(target.error());
    auto session = std::make_unique<Session>(Session{std::move(target).value(), busyTimeout, nullptr});
    const char* action = access == Access::ReadWrite ? "open the history" : "read the history";
    try {
        session->db = std::make_unique<pqxx::connection>(WithConnectTimeout(url));
    } catch (const std::exception& e) {
        return base::Fail(DescribeLostConnection(action, session->target, e.what()));
    }
    const std::string& where = session->target.masked;
    return Guarded<std::unique_ptr<Session>>(
        session.get(), action, [&](pqxx::connection& db) -> base::Result<std::unique_ptr<Session>> {
            // Kept by the connection, which sets them again when it reconnects after a lost connection. A writer
            // waits for another's locks as long as the SQLite store waits for a busy file; a reader must not
            // write a byte, whatever a caller asks of it.
            db.set_variable("lock_timeout", std::to_string(busyTimeout.count()));
            if (access == Access::ReadOnly)
                db.set_variable("default_transaction_read_only", "on");

            pqxx::work work(db);
            if (access == Access::ReadWrite)
                work.exec("SELECT pg_advisory_xact_lock(" + std::to_string(kSchemaLock) + ")");
            // Read under the lock: another process may have created or moved the schema while this one waited.
            const int version = VersionOf(work);
            if (version > kSchemaVersion)
                return base::Fail(std::string(access == Access::ReadWrite ? "Cannot open" : "Cannot read") +
                                  " the history: the database " + where +
                                  " was made by a newer version of Rankmoth (schema " + std::to_string(version) +
                                  ", this version knows up to " + std::to_string(kSchemaVersion) + ")." +
                                  (access == Access::ReadWrite ? " It was left as it is." : ""));
            if (version == 0 && HoldsForeignTables(work))
                return base::Fail(std::string(access == Access::ReadWrite ? "Cannot open" : "Cannot read") +
                                  " the history: the database " + where +
                                  " holds tables of another program. It was left as it is.");
            if (access == Access::ReadOnly && version > 0 && version < kSchemaVersion)
                return base::Fail("Cannot read the history: the database " + where +
                                  " was written by an older version of Rankmoth; one query with it brings it up to "
                                  "date.");
            if (access == Access::ReadOnly) {
                if (version == 0)
                    return base::Fail("no such history in the database " + where +
                                      " (it holds no Rankmoth history yet; the first run that records a pass "
                                      "creates it)");
                return std::move(session);
            }
            if (version == 0) {
                work.exec(kSchema3);
                work.exec("CREATE TABLE rankmoth_schema(version INTEGER NOT NULL)");
                work.exec("INSERT INTO rankmoth_schema VALUES(3)");
            }
            if (version < 4) {
                work.exec(kMigrateTo4);
                work.exec("UPDATE rankmoth_schema SET version = 4");
            }
            work.commit();
            return std::move(session);
        });
}

} // namespace rankmoth::history::pg
