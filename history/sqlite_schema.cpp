#include "history/sqlite_store.h"

#include <sqlite3.h>

#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <thread>

namespace rankmoth::history::sqlite {

namespace {

struct SchemaSeen {
    int version = 0;
    int tables = 0;
};

// One read transaction, so a process creating the schema at this moment is seen before or after, never half:
// its tables without its version would look like another program's file.
SchemaSeen ReadSchemaSeen(SQLite::Database& db) {
    db.exec("BEGIN");
    SchemaSeen seen;
    seen.version = db.execAndGet("PRAGMA user_version").getInt();
    seen.tables = db.execAndGet("SELECT count(*) FROM sqlite_schema").getInt();
    db.exec("COMMIT");
    return seen;
}

// The first shape the file had. Frozen: a file of this version is brought forward by MigrateTo2, never rebuilt.
constexpr const char* kSchema1 = R"sql(
CREATE TABLE passes(
    id INTEGER PRIMARY KEY,
    shop TEXT NOT NULL,
    category TEXT NOT NULL,
    sub_category TEXT NOT NULL DEFAULT '',
    sort TEXT NOT NULL,
    page_limit INTEGER NOT NULL,
    started TEXT NOT NULL,
    finished TEXT NOT NULL,
    pages_walked INTEGER NOT NULL,
    requests INTEGER NOT NULL,
    failed_requests INTEGER NOT NULL,
    stopped INTEGER NOT NULL);
CREATE TABLE results(
    pass_id INTEGER NOT NULL REFERENCES passes(id) ON DELETE CASCADE,
    item_id TEXT NOT NULL,
    state TEXT NOT NULL CHECK(state IN ('found', 'not_found', 'incomplete')),
    page INTEGER NOT NULL,
    slice INTEGER NOT NULL,
    hits INTEGER NOT NULL,
    PRIMARY KEY(pass_id, item_id)) WITHOUT ROWID;
CREATE TABLE items(
    shop TEXT NOT NULL,
    item_id TEXT NOT NULL,
    title TEXT NOT NULL,
    first_seen TEXT NOT NULL,
    last_seen TEXT NOT NULL,
    PRIMARY KEY(shop, item_id)) WITHOUT ROWID;
CREATE INDEX passes_by_shop ON passes(shop, sort, started);
)sql";

// Version 2 keeps each item's standing per sort beside the results, so the history page reads one row per item
// and sort instead of every result; results learn their check time, passes their item counts.
constexpr const char* kMigrateTo2 = R"sql(
ALTER TABLE results ADD COLUMN checked_at TEXT;
ALTER TABLE passes ADD COLUMN items INTEGER NOT NULL DEFAULT 0;
ALTER TABLE passes ADD COLUMN found INTEGER NOT NULL DEFAULT 0;
UPDATE passes SET
    items = (SELECT count(*) FROM results WHERE pass_id = passes.id),
    found = (SELECT count(*) FROM results WHERE pass_id = passes.id AND state = 'found');
CREATE INDEX results_by_item ON results(item_id, pass_id);
CREATE TABLE standings(
    shop TEXT NOT NULL,
    item_id TEXT NOT NULL,
    sort TEXT NOT NULL,
    pass_id INTEGER NOT NULL,
    started TEXT NOT NULL,
    state TEXT NOT NULL,
    page INTEGER NOT NULL,
    slice INTEGER NOT NULL,
    checked_at TEXT NOT NULL,
    prev_state TEXT,
    prev_page INTEGER,
    prev_slice INTEGER,
    best_position INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY(shop, item_id, sort)) WITHOUT ROWID;
)sql";

// Version 3 ties the passes a watch cut from one walk together, and keeps each load of a shop's feed and
// whether the latest one listed each item (null until a load has said), so that items gone from a feed can be
// told from items merely not found; it keeps each run of a watch, for the status a timer's user reads, and
// each host's backoff, so that a run an hour later still leaves alone a host that asked for rest.
constexpr const char* kMigrateTo3 = R"sql(
ALTER TABLE passes ADD COLUMN walk_id TEXT NOT NULL DEFAULT '';
ALTER TABLE items ADD COLUMN listed INTEGER;
CREATE TABLE feeds(
    shop TEXT NOT NULL,
    loaded_at TEXT NOT NULL,
    items INTEGER NOT NULL,
    requests INTEGER NOT NULL,
    PRIMARY KEY(shop, loaded_at)) WITHOUT ROWID;
CREATE TABLE runs(
    id INTEGER PRIMARY KEY,
    started TEXT NOT NULL,
    finished TEXT NOT NULL,
    exit_status INTEGER NOT NULL,
    watch TEXT NOT NULL,
    passes INTEGER NOT NULL,
    failed_requests INTEGER NOT NULL,
    reasons TEXT NOT NULL,
    alerts TEXT NOT NULL,
    alert_text TEXT NOT NULL,
    notification_id INTEGER NOT NULL);
CREATE TABLE hosts(
    host TEXT PRIMARY KEY,
    blocked_until TEXT NOT NULL,
    strikes INTEGER NOT NULL,
    last_status INTEGER NOT NULL,
    last_strike TEXT NOT NULL) WITHOUT ROWID;
)sql";

// Version 4 keeps each round's work, one row per shop feed and per walk, with the worker holding it and until
// when, so that processes running the same watch share the work instead of each doing all of it.
constexpr const char* kMigrateTo4 = R"sql(
CREATE TABLE round_work(
    id INTEGER PRIMARY KEY,
    round TEXT NOT NULL,
    kind TEXT NOT NULL,
    piece TEXT NOT NULL,
    position INTEGER NOT NULL,
    opened_at TEXT NOT NULL,
    worker TEXT NOT NULL DEFAULT '',
    claimed_at TEXT NOT NULL DEFAULT '',
    lease_until TEXT NOT NULL DEFAULT '',
    finished_at TEXT NOT NULL DEFAULT '',
    claims INTEGER NOT NULL DEFAULT 0,
    UNIQUE(round, piece));
CREATE INDEX round_work_by_opening ON round_work(opened_at);
)sql";

// A file name as an SQLite URI, for the parameters only a URI can carry.
std::string FileUri(const std::string& path, const char* parameters) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file:";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || std::string_view("/-._~").find(c) != std::string_view::npos) {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0xF];
        }
    }
    return uri + "?" + parameters;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// The switch to WAL needs the file to itself for a moment. A second process creating or migrating the same
// file holds it, and SQLite may answer the pragma with SQLITE_BUSY at once rather than through the busy
// handler (it will not wait where waiting could deadlock), so the wait is ours: until the busy time-out.
bool SwitchToWal(SQLite::Database& db, std::chrono::milliseconds busyTimeout) {
    const auto deadline = std::chrono::steady_clock::now() + busyTimeout;
    for (;;) {
        try {
            return Trimmed(db.execAndGet("PRAGMA journal_mode = WAL").getString()) == "wal";
        } catch (const SQLite::Exception& e) {
            const int code = e.getErrorCode() & 0xFF;
            if ((code != SQLITE_BUSY && code != SQLITE_LOCKED) || std::chrono::steady_clock::now() >= deadline)
                throw;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

base::Failure Refused(const std::string& text) {
    return base::Fail(text);
}

} // namespace

base::Result<std::unique_ptr<Connection>> OpenForWriting(const std::string& path,
                                                         std::chrono::milliseconds busyTimeout) {
    if (path.empty())
        return Refused(
            "Cannot open the history: no file is set (RANKMOTH_HISTORY, XDG_DATA_HOME and HOME are all empty).");
    std::error_code failure;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty() && !std::filesystem::is_directory(folder, failure)) {
        std::filesystem::create_directories(folder, failure);
        if (failure)
            return Refused("Cannot open the history: the folder " + folder.string() + " cannot be made (" +
                           failure.message() + ").");
    }
    if (std::filesystem::is_directory(path, failure))
        return Refused("Cannot open the history: " + path + " is a folder, not a file.");
    return Caught<std::unique_ptr<Connection>>(
        "open the history", path, busyTimeout, [&]() -> base::Result<std::unique_ptr<Connection>> {
            // The busy time-out is set by the constructor, before any statement, so that every lock taken from
            // here on waits its turn.
            auto connection = std::make_unique<Connection>(
                Connection{{},
                           SQLite::Database(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE,
                                            static_cast<int>(busyTimeout.count())),
                           path,
                           busyTimeout});
            SQLite::Database& db = connection->db;
            // Everything before the version check only reads, so a file this build must refuse keeps every byte.
            const auto [version, tables] = ReadSchemaSeen(db);
            if (version > kSchemaVersion)
                return Refused("Cannot open the history: the file " + path +
                               " was made by a newer version of Rankmoth (schema " + std::to_string(version) +
                               ", this version knows up to " + std::to_string(kSchemaVersion) +
                               "). It was left as it is.");
            if (version == 0 && tables > 0)
                return Refused("Cannot open the history: the file " + path +
                               " is an SQLite database of another program. It was left as it is.");
            if (sqlite3_db_readonly(db.getHandle(), "main") == 1)
                return Refused("Cannot open the history: the file " + path + " is read-only.");
            // WAL lets the window and a cron-run CLI write the same file: readers never wait for the writer.
            if (!SwitchToWal(db, busyTimeout))
                return Refused("Cannot open the history: the file " + path +
                               " cannot be switched to write-ahead logging.");
            db.exec("PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON;");
            if (version < kSchemaVersion) {
                SQLite::Transaction migration(db, SQLite::TransactionBehavior::IMMEDIATE);
                // Another process may have brought the file forward while this one waited for the lock.
                int now = db.execAndGet("PRAGMA user_version").getInt();
                if (now > kSchemaVersion)
                    return Refused("Cannot open the history: the file " + path +
                                   " was made by a newer version of Rankmoth.");
                if (now == 0) {
                    db.exec(kSchema1);
                    now = 1;
                }
                if (now == 1) {
                    db.exec(kMigrateTo2);
                    RebuildStandingsIn(db);
                    now = 2;
                }
                if (now == 2) {
                    db.exec(kMigrateTo3);
                    now = 3;
                }
                if (now == 3) {
                    db.exec(kMigrateTo4);
                    now = 4;
                }
                db.exec("PRAGMA user_version = " + std::to_string(now));
                migration.commit();
            }
            return connection;
        });
}

base::Result<std::unique_ptr<Connection>> OpenForReading(const std::string& path,
                                                         std::chrono::milliseconds busyTimeout) {
    namespace fs = std::filesystem;
    std::error_code failure;
    if (path.empty() || !fs::exists(path, failure))
        return Refused("no such history file " + (path.empty() ? std::string("(none is set)") : path));
    if (fs::is_directory(path, failure))
        return Refused("Cannot open the history: " + path + " is a folder, not a file.");
    const bool sideFiles = fs::exists(path + "-wal", failure) || fs::exists(path + "-shm", failure);
    const fs::path folder = fs::path(path).has_parent_path() ? fs::path(path).parent_path() : fs::path(".");
    const bool writable = ::access(path.c_str(), W_OK) == 0 && ::access(folder.c_str(), W_OK) == 0;
    // Reading a WAL file makes its -wal and -shm files, unless it is opened as immutable. That is sound only
    // where no writer can come: a file or folder this user cannot write, which a writer refuses to write as
    // well. Otherwise the files made are removed on closing; files that were there belong to a connection at
    // work.
    const char* parameters = !sideFiles && !writable ? "mode=ro&immutable=1" : "mode=ro";
    return Caught<std::unique_ptr<Connection>>(
        "read the history", path, busyTimeout, [&]() -> base::Result<std::unique_ptr<Connection>> {
            auto connection = std::make_unique<Connection>(
                Connection{{sideFiles || !writable ? std::string() : path},
                           SQLite::Database(FileUri(path, parameters), SQLite::OPEN_READONLY | SQLite::OPEN_URI,
                                            static_cast<int>(busyTimeout.count())),
                           path,
                           busyTimeout});
            const auto [version, tables] = ReadSchemaSeen(connection->db);
            if (version > kSchemaVersion)
                return Refused("Cannot read the history: the file " + path +
                               " was made by a newer version of Rankmoth (schema " + std::to_string(version) +
                               ", this version knows up to " + std::to_string(kSchemaVersion) + ").");
            if (version == 0 && tables > 0)
                return Refused("Cannot read the history: the file " + path +
                               " is an SQLite database of another program.");
            if (version == 0)
                return Refused("no such history file " + path + " (it is an empty database)");
            if (version < kSchemaVersion)
                return Refused("Cannot read the history: the file " + path +
                               " was written by an older version of Rankmoth; one query with it brings it up to "
                               "date.");
            return connection;
        });
}

} // namespace rankmoth::history::sqlite
