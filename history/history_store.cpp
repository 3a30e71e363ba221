#include "history/history_store.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <system_error>
#include <tuple>

namespace rankmoth::history {

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

// Rebuilds every standing from the results: passes in time order, each pass's results read in key order, so the
// whole history is read once and in sequence. Each item and sort keeps its latest result, the latest earlier
// one that was not incomplete, and its best position, exactly as RecordPass moves them on.
void RebuildStandingsIn(SQLite::Database& db) {
    struct Place {
        std::string state;
        int page = 0;
        int slice = 0;
    };
    struct Standing {
        std::int64_t passId = 0;
        std::string started;
        Place latest;
        std::string checkedAt;
        std::optional<Place> previous;
        int best = 0;
    };
    std::map<std::tuple<std::string, std::string, std::string>, Standing> standings;
    struct PassKey {
        std::int64_t id;
        std::string shop, sort, started, finished;
    };
    std::vector<PassKey> passes;
    SQLite::Statement listPasses(db, "SELECT id, shop, sort, started, finished FROM passes ORDER BY started, id");
    while (listPasses.executeStep())
        passes.push_back({listPasses.getColumn(0).getInt64(), listPasses.getColumn(1).getString(),
                          listPasses.getColumn(2).getString(), listPasses.getColumn(3).getString(),
                          listPasses.getColumn(4).getString()});
    SQLite::Statement results(db, "SELECT item_id, state, page, slice, coalesce(checked_at, '') FROM results "
                                  "WHERE pass_id = ?");
    for (const PassKey& pass : passes) {
        results.bind(1, pass.id);
        while (results.executeStep()) {
            Standing& standing = standings[{pass.shop, results.getColumn(0).getString(), pass.sort}];
            Place place{results.getColumn(1).getString(), results.getColumn(2).getInt(), results.getColumn(3).getInt()};
            if (standing.passId != 0 && standing.latest.state != "incomplete")
                standing.previous = standing.latest;
            base::ItemState state = base::ItemState::Incomplete;
            base::StateFromName(place.state, state);
            const int position = PositionOf(state, place.page, place.slice);
            if (position > 0 && (standing.best == 0 || position < standing.best))
                standing.best = position;
            standing.passId = pass.id;
            standing.started = pass.started;
            standing.latest = std::move(place);
            standing.checkedAt = results.getColumn(4).getString();
            if (standing.checkedAt.empty())
                standing.checkedAt = pass.finished;
        }
        results.reset();
    }
    db.exec("DELETE FROM standings");
    SQLite::Statement write(db, "INSERT INTO standings VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (const auto& [key, standing] : standings) {
        write.bind(1, std::get<0>(key));
        write.bind(2, std::get<1>(key));
        write.bind(3, std::get<2>(key));
        write.bind(4, standing.passId);
        write.bind(5, standing.started);
        write.bind(6, standing.latest.state);
        write.bind(7, standing.latest.page);
        write.bind(8, standing.latest.slice);
        write.bind(9, standing.checkedAt);
        if (standing.previous) {
            write.bind(10, standing.previous->state);
            write.bind(11, standing.previous->page);
            write.bind(12, standing.previous->slice);
        } else {
            write.bind(10);
            write.bind(11);
            write.bind(12);
        }
        write.bind(13, standing.best);
        write.exec();
        write.reset();
    }
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

// Words a seller can act on, from an SQLite failure while doing `action` with the file at `path`.
std::string Describe(const std::string& action, const std::string& path, int code, const std::string& detail,
                     std::chrono::milliseconds busyTimeout) {
    const std::string where = "the history file " + path;
    switch (code & 0xFF) {
    case SQLITE_NOTADB:
        return "Cannot " + action + ": " + where + " is not a Rankmoth history database. It was left as it is.";
    case SQLITE_CORRUPT:
        return "Cannot " + action + ": " + where + " is damaged (" + detail + "). It was left as it is.";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "Cannot " + action + ": " + where + " stayed locked by another program for more than " +
               std::to_string(std::chrono::duration_cast<std::chrono::seconds>(busyTimeout).count()) + " s.";
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
        return "Cannot " + action + ": " + where + " or its folder cannot be written (" + detail + ").";
    case SQLITE_FULL:
        return "Cannot " + action + ": the disc holding " + where + " is full.";
    default:
        return "Cannot " + action + " in " + where + ": " + detail + ".";
    }
}

bool NameToState(const std::string& name, base::ItemState& state) {
    return base::StateFromName(name, state);
}

base::ItemState StateOf(const SQLite::Column& column) {
    base::ItemState state = base::ItemState::Incomplete;
    NameToState(column.getString(), state);
    return state;
}

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
    return row;
}
#define RANKMOTH_PASS_COLUMNS(p)                                                                                       \
    p ".id, " p ".shop, " p ".category, " p ".sub_category, " p ".sort, " p ".page_limit, " p ".started, " p           \
      ".finished, " p ".pages_walked, " p ".requests, " p ".failed_requests, " p ".stopped, " p ".items, " p ".found"

} // namespace

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

namespace {

// SQLite's own locks on a database file (its documented file format): the pending byte, the reserved byte
// and the range of shared locks after them. A connection in WAL mode holds a shared lock for as long as it is
// open, which is how the last one to close knows it may remove the -wal and -shm files.
constexpr off_t kPendingByte = 0x40000000;
constexpr off_t kLockBytes = 2 + 510;

// Removes the -wal and -shm files that a read-only connection left beside `path`, as the last read-write
// connection would have: only while no other connection holds the file (the exclusive lock is refused
// otherwise, and held while removing, so no connection can open in between) and only when the log is empty,
// so that nothing committed is lost. An open-file-description lock, because it conflicts with SQLite's own
// locks even inside this process.
void RemoveSideFiles(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return;
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = kPendingByte;
    lock.l_len = kLockBytes;
    if (::fcntl(fd, F_OFD_SETLK, &lock) == 0) {
        std::error_code failure;
        const std::string wal = path + "-wal";
        const bool walEmpty = !std::filesystem::exists(wal, failure) || std::filesystem::file_size(wal, failure) == 0;
        if (walEmpty && !failure) {
            std::filesystem::remove(wal, failure);
            std::filesystem::remove(path + "-shm", failure);
        }
    }
    ::close(fd); // also releases the lock
}

// Removes the side files once the connection declared after it has closed.
struct SideFileTidier {
    std::string path; // empty: nothing to tidy
    ~SideFileTidier() {
        if (!path.empty())
            RemoveSideFiles(path);
    }
};

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

} // namespace

struct HistoryStore::Impl {
    SideFileTidier tidier; // declared first: it acts after the database below has closed
    SQLite::Database db;
    std::chrono::milliseconds busyTimeout;
};

HistoryStore::HistoryStore() = default;
HistoryStore::~HistoryStore() = default;
HistoryStore::HistoryStore(HistoryStore&&) noexcept = default;
HistoryStore& HistoryStore::operator=(HistoryStore&&) noexcept = default;

bool HistoryStore::isOpen() const {
    return impl_ != nullptr;
}
void HistoryStore::Close() {
    impl_.reset();
}

bool HistoryStore::Open(const std::string& path, std::chrono::milliseconds busyTimeout) {
    Close();
    path_ = path;
    error_.clear();
    if (path.empty()) {
        error_ = "Cannot open the history: no file is set (RANKMOTH_HISTORY, XDG_DATA_HOME and HOME are all empty).";
        return false;
    }
    std::error_code failure;
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (!folder.empty() && !std::filesystem::is_directory(folder, failure)) {
        std::filesystem::create_directories(folder, failure);
        if (failure) {
            error_ = "Cannot open the history: the folder " + folder.string() + " cannot be made (" +
                     failure.message() + ").";
            return false;
        }
    }
    if (std::filesystem::is_directory(path, failure)) {
        error_ = "Cannot open the history: " + path + " is a folder, not a file.";
        return false;
    }
    try {
        auto impl = std::make_unique<Impl>(Impl{
            {},
            SQLite::Database(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE, static_cast<int>(busyTimeout.count())),
            busyTimeout});
        SQLite::Database& db = impl->db;
        // Everything before the version check only reads, so a file this build must refuse keeps every byte.
        const auto [version, tables] = ReadSchemaSeen(db);
        if (version > kSchemaVersion) {
            error_ = "Cannot open the history: the file " + path + " was made by a newer version of Rankmoth (schema " +
                     std::to_string(version) + ", this version knows up to " + std::to_string(kSchemaVersion) +
                     "). It was left as it is.";
            return false;
        }
        if (version == 0 && tables > 0) {
            error_ = "Cannot open the history: the file " + path +
                     " is an SQLite database of another program. It was left as it is.";
            return false;
        }
        if (sqlite3_db_readonly(db.getHandle(), "main") == 1) {
            error_ = "Cannot open the history: the file " + path + " is read-only.";
            return false;
        }
        // WAL lets the window and a cron-run CLI write the same file: readers never wait for the writer.
        if (Trimmed(db.execAndGet("PRAGMA journal_mode = WAL").getString()) != "wal") {
            error_ = "Cannot open the history: the file " + path + " cannot be switched to write-ahead logging.";
            return false;
        }
        db.exec("PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON;");
        if (version < kSchemaVersion) {
            SQLite::Transaction migration(db, SQLite::TransactionBehavior::IMMEDIATE);
            // Another process may have brought the file forward while this one waited for the lock.
            int now = db.execAndGet("PRAGMA user_version").getInt();
            if (now > kSchemaVersion) {
                error_ = "Cannot open the history: the file " + path + " was made by a newer version of Rankmoth.";
                return false;
            }
            if (now == 0) {
                db.exec(kSchema1);
                now = 1;
            }
            if (now == 1) {
                db.exec(kMigrateTo2);
                RebuildStandingsIn(db);
                now = 2;
            }
            db.exec("PRAGMA user_version = " + std::to_string(now));
            migration.commit();
        }
        impl_ = std::move(impl);
        return true;
    } catch (const SQLite::Exception& e) {
        error_ = Describe("open the history", path, e.getErrorCode(), e.getErrorStr(), busyTimeout);
    } catch (const std::exception& e) {
        error_ = "Cannot open the history at " + path + ": " + e.what();
    }
    return false;
}

bool HistoryStore::OpenForReading(const std::string& path, std::chrono::milliseconds busyTimeout) {
    Close();
    path_ = path;
    error_.clear();
    namespace fs = std::filesystem;
    std::error_code failure;
    if (path.empty() || !fs::exists(path, failure)) {
        error_ = "no such history file " + (path.empty() ? std::string("(none is set)") : path);
        return false;
    }
    if (fs::is_directory(path, failure)) {
        error_ = "Cannot open the history: " + path + " is a folder, not a file.";
        return false;
    }
    const bool sideFiles = fs::exists(path + "-wal", failure) || fs::exists(path + "-shm", failure);
    const fs::path folder = fs::path(path).has_parent_path() ? fs::path(path).parent_path() : fs::path(".");
    const bool writable = ::access(path.c_str(), W_OK) == 0 && ::access(folder.c_str(), W_OK) == 0;
    // Reading a WAL file makes its -wal and -shm files, unless it is opened as immutable. That is sound only
    // where no writer can come: a file or folder this user cannot write, which Open refuses to write as well.
    // Otherwise the files made are removed on closing; files that were there belong to a connection at work.
    const char* parameters = !sideFiles && !writable ? "mode=ro&immutable=1" : "mode=ro";
    try {
        auto impl = std::make_unique<Impl>(
            Impl{{sideFiles || !writable ? std::string() : path},
                 SQLite::Database(FileUri(path, parameters), SQLite::OPEN_READONLY | SQLite::OPEN_URI,
                                  static_cast<int>(busyTimeout.count())),
                 busyTimeout});
        SQLite::Database& db = impl->db;
        const auto [version, tables] = ReadSchemaSeen(db);
        if (version > kSchemaVersion) {
            error_ = "Cannot read the history: the file " + path + " was made by a newer version of Rankmoth (schema " +
                     std::to_string(version) + ", this version knows up to " + std::to_string(kSchemaVersion) + ").";
        } else if (version == 0 && tables > 0) {
            error_ = "Cannot read the history: the file " + path + " is an SQLite database of another program.";
        } else if (version == 0) {
            error_ = "no such history file " + path + " (it is an empty database)";
        } else if (version < kSchemaVersion) {
            error_ = "Cannot read the history: the file " + path +
                     " was written by an older version of Rankmoth; one query with it brings it up to date.";
        }
        if (!error_.empty())
            return false;
        impl_ = std::move(impl);
        return true;
    } catch (const SQLite::Exception& e) {
        error_ = Describe("read the history", path, e.getErrorCode(), e.getErrorStr(), busyTimeout);
    } catch (const std::exception& e) {
        error_ = "Cannot read the history at " + path + ": " + e.what();
    }
    return false;
}

std::int64_t HistoryStore::RecordPass(const base::PassOutcome& pass) {
    if (!impl_) {
        error_ = "Cannot record the pass: the history is not open.";
        return 0;
    }
    try {
        SQLite::Database& db = impl_->db;
        const std::string shop = pass.request.shop.ToUtf8();
        const std::string& sort = pass.request.sort;
        const std::string started = IsoTime(pass.started);
        const std::string finished = IsoTime(pass.finished);

        // A feed that lists an item twice must not cost the pass: the first result of an item stands.
        std::vector<const base::ItemResult*> items;
        std::set<std::string> seen;
        int found = 0;
        for (const base::ItemResult& item : pass.items) {
            if (item.itemId.empty() || !seen.insert(item.itemId.ToUtf8()).second)
                continue;
            items.push_back(&item);
            found += item.state == base::ItemState::Found;
        }

        SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
        SQLite::Statement insertPass(db, "INSERT INTO passes(shop, category, sub_category, sort, page_limit, started, "
                                         "finished, pages_walked, requests, failed_requests, stopped, items, found) "
                                         "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        insertPass.bindNoCopy(1, shop);
        insertPass.bindNoCopy(2, pass.request.category);
        insertPass.bind(3, pass.request.subCategory.ToUtf8());
        insertPass.bindNoCopy(4, sort);
        insertPass.bind(5, pass.request.pageLimit);
        insertPass.bindNoCopy(6, started);
        insertPass.bindNoCopy(7, finished);
        insertPass.bind(8, pass.pagesWalked);
        insertPass.bind(9, pass.requests);
        insertPass.bind(10, pass.failedRequests);
        insertPass.bind(11, pass.stopped ? 1 : 0);
        insertPass.bind(12, static_cast<int>(items.size()));
        insertPass.bind(13, found);
        insertPass.exec();
        const std::int64_t passId = db.getLastInsertRowid();

        SQLite::Statement insertResult(
            db,
            "INSERT INTO results(pass_id, item_id, state, page, slice, hits, checked_at) VALUES(?, ?, ?, ?, ?, ?, ?)");
        // The newest title wins, whichever order passes arrive in; an empty title never replaces one.
        SQLite::Statement upsertItem(
            db, "INSERT INTO items(shop, item_id, title, first_seen, last_seen) VALUES(?1, ?2, ?3, ?4, ?4) "
                "ON CONFLICT(shop, item_id) DO UPDATE SET "
                "title = CASE WHEN excluded.last_seen >= items.last_seen AND excluded.title <> '' "
                "THEN excluded.title ELSE items.title END, "
                "first_seen = min(items.first_seen, excluded.first_seen), "
                "last_seen = max(items.last_seen, excluded.last_seen)");
        SQLite::Statement readStanding(db, "SELECT pass_id, started, state, page, slice, prev_state, prev_page, "
                                           "prev_slice, best_position FROM standings "
                                           "WHERE shop = ? AND item_id = ? AND sort = ?");
        SQLite::Statement writeStanding(db, "INSERT OR REPLACE INTO standings VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                                            "?, ?)");
        for (const base::ItemResult* item : items) {
            const std::string itemId = item->itemId.ToUtf8();
            const std::string state(base::StateName(item->state));
            const bool isFound = item->state == base::ItemState::Found;
            const int page = isFound ? item->page : 0;
            const int slice = isFound ? item->slice : 0;
            const std::string checkedAt =
                item->checkedAt == base::Clock::time_point{} ? finished : IsoTime(item->checkedAt);

            insertResult.bind(1, passId);
            insertResult.bindNoCopy(2, itemId);
            insertResult.bindNoCopy(3, state);
            insertResult.bind(4, page);
            insertResult.bind(5, slice);
            insertResult.bind(6, item->hits);
            insertResult.bindNoCopy(7, checkedAt);
            insertResult.exec();
            insertResult.reset();

            upsertItem.bindNoCopy(1, shop);
            upsertItem.bindNoCopy(2, itemId);
            upsertItem.bind(3, item->title.ToUtf8());
            upsertItem.bindNoCopy(4, started);
            upsertItem.exec();
            upsertItem.reset();

            // The standing moves on only for a pass at least as new as the one it holds; an older pass that
            // arrives late (two writers) still counts for the best position.
            const int position = PositionOf(item->state, page, slice);
            readStanding.bindNoCopy(1, shop);
            readStanding.bindNoCopy(2, itemId);
            readStanding.bindNoCopy(3, sort);
            bool replace = true;
            int best = position;
            std::optional<std::tuple<std::string, int, int>> previous;
            if (readStanding.executeStep()) {
                const std::int64_t heldPass = readStanding.getColumn(0).getInt64();
                const std::string heldStarted = readStanding.getColumn(1).getString();
                const int heldBest = readStanding.getColumn(8).getInt();
                if (heldBest > 0 && (best == 0 || heldBest < best))
                    best = heldBest;
                replace = started > heldStarted || (started == heldStarted && passId > heldPass);
                const std::string heldState = readStanding.getColumn(2).getString();
                if (heldState != "incomplete")
                    previous.emplace(heldState, readStanding.getColumn(3).getInt(), readStanding.getColumn(4).getInt());
                else if (!readStanding.getColumn(5).isNull())
                    previous.emplace(readStanding.getColumn(5).getString(), readStanding.getColumn(6).getInt(),
                                     readStanding.getColumn(7).getInt());
            }
            readStanding.reset();
            if (replace) {
                writeStanding.bindNoCopy(1, shop);
                writeStanding.bindNoCopy(2, itemId);
                writeStanding.bindNoCopy(3, sort);
                writeStanding.bind(4, passId);
                writeStanding.bindNoCopy(5, started);
                writeStanding.bindNoCopy(6, state);
                writeStanding.bind(7, page);
                writeStanding.bind(8, slice);
                writeStanding.bindNoCopy(9, checkedAt);
                if (previous) {
                    writeStanding.bind(10, std::get<0>(*previous));
                    writeStanding.bind(11, std::get<1>(*previous));
                    writeStanding.bind(12, std::get<2>(*previous));
                } else {
                    writeStanding.bind(10);
                    writeStanding.bind(11);
                    writeStanding.bind(12);
                }
                writeStanding.bind(13, best);
                writeStanding.exec();
                writeStanding.reset();
            } else if (best > 0) {
                SQLite::Statement improve(db, "UPDATE standings SET best_position = ? "
                                              "WHERE shop = ? AND item_id = ? AND sort = ?");
                improve.bind(1, best);
                improve.bindNoCopy(2, shop);
                improve.bindNoCopy(3, itemId);
                improve.bindNoCopy(4, sort);
                improve.exec();
            }
        }
        transaction.commit();
        return passId;
    } catch (const SQLite::Exception& e) {
        error_ = Describe("record the pass", path_, e.getErrorCode(), e.getErrorStr(), impl_->busyTimeout);
    } catch (const std::exception& e) {
        error_ = std::string("Cannot record the pass: ") + e.what();
    }
    return 0;
}

std::optional<Baseline> HistoryStore::BaselineFor(const base::PassOutcome& pass) {
    if (!impl_)
        return std::nullopt;
    try {
        SQLite::Statement latest(impl_->db, "SELECT id, page_limit FROM passes WHERE shop = ? AND sort = ? AND "
                                            "category = ? AND sub_category = ? AND started < ? AND stopped = 0 "
                                            "AND failed_requests = 0 ORDER BY started DESC, id DESC LIMIT 1");
        latest.bind(1, pass.request.shop.ToUtf8());
        latest.bind(2, pass.request.sort);
        latest.bind(3, pass.request.category);
        latest.bind(4, pass.request.subCategory.ToUtf8());
        latest.bind(5, IsoTime(pass.started));
        if (!latest.executeStep())
            return std::nullopt;
        Baseline baseline;
        baseline.passId = latest.getColumn(0).getInt64();
        baseline.pageLimit = latest.getColumn(1).getInt();
        SQLite::Statement results(impl_->db, "SELECT item_id, state, page, slice FROM results WHERE pass_id = ?");
        results.bind(1, baseline.passId);
        while (results.executeStep())
            baseline.items.push_back({results.getColumn(0).getString(), StateOf(results.getColumn(1)),
                                      results.getColumn(2).getInt(), results.getColumn(3).getInt()});
        return baseline;
    } catch (const SQLite::Exception& e) {
        error_ = Describe("read the previous pass", path_, e.getErrorCode(), e.getErrorStr(), impl_->busyTimeout);
    }
    return std::nullopt;
}

std::vector<std::string> HistoryStore::Shops() {
    std::vector<std::string> shops;
    if (!impl_)
        return shops;
    try {
        SQLite::Statement query(impl_->db, "SELECT DISTINCT shop FROM passes ORDER BY shop");
        while (query.executeStep())
            shops.push_back(query.getColumn(0).getString());
    } catch (const SQLite::Exception& e) {
        error_ = Describe("list the shops", path_, e.getErrorCode(), e.getErrorStr(), impl_->busyTimeout);
    }
    return shops;
}

std::vector<ItemSummary> HistoryStore::ItemSummaries(const std::string& shop) {
    std::vector<ItemSummary> summaries;
    if (!impl_)
        return summaries;
    try {
        SQLite::Statement query(impl_->db,
                                "SELECT i.item_id, i.title, s.sort, s.state, s.page, s.slice, s.checked_at, "
                                "s.prev_state, s.prev_page, s.prev_slice, s.best_position "
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
            SortStanding& standing = summary.sorts[sort];
            standing.checked = true;
            standing.state = StateOf(query.getColumn(3));
            standing.page = query.getColumn(4).getInt();
            standing.slice = query.getColumn(5).getInt();
            standing.checkedAt = query.getColumn(6).getString();
            standing.bestPosition = query.getColumn(10).getInt();
            if (!query.getColumn(7).isNull()) {
                const int before =
                    PositionOf(StateOf(query.getColumn(7)), query.getColumn(8).getInt(), query.getColumn(9).getInt());
                const int now = standing.position();
                standing.hasChange = before > 0 && now > 0;
                standing.change = standing.hasChange ? before - now : 0;
            }
            if (standing.bestPosition > 0 &&
                (summary.bestPosition == 0 || standing.bestPosition < summary.bestPosition))
                summary.bestPosition = standing.bestPosition;
            summary.lastChecked = std::max(summary.lastChecked, standing.checkedAt);
        }
    } catch (const SQLite::Exception& e) {
        error_ = Describe("read the items", path_, e.getErrorCode(), e.getErrorStr(), impl_->busyTimeout);
    }
    return summaries;
}

ItemTimeline HistoryStore::Timeline(const std::string& shop, const std::string& itemId) {
    ItemTimeline timeline;
    if (!impl_)
        return timeline;
    try {
        // CROSS JOIN keeps the item's index as the outer loop: one item's results, not every pass of the shop.
        SQLite::Statement query(impl_->db, "SELECT p.sort, p.id, p.started, r.state, r.page, r.slice, p.stopped, "
                                           "p.failed_requests FROM results r CROSS JOIN passes p ON p.id = r.pass_id "
                                           "WHERE r.item_id = ? AND p.shop = ? ORDER BY p.started, p.id");
        query.bind(1, itemId);
        query.bind(2, shop);
        while (query.executeStep()) {
            const int sort = SortIndex(query.getColumn(0).getString());
            if (sort < 0)
                continue;
            TimelinePoint point;
            point.passId = query.getColumn(1).getInt64();
            point.started = query.getColumn(2).getString();
            point.state = StateOf(query.getColumn(3));
            point.page = query.getColumn(4).getInt();
            point.slice = query.getColumn(5).getInt();
            point.passStopped = query.getColumn(6).getInt() != 0;
            point.passFailed = query.getColumn(7).getInt() > 0;
            timeline.sorts[sort].push_back(std::move(point));
        }
    } catch (const SQLite::Exception& e) {
        error_ = Describe("read the item's timeline", path_, e.getErrorCode(), e.getErrorStr(), impl_->busyTimeout);
    }
    return timeline;
}

std::vector<CrossSortRow> HistoryStore::CrossSort(const std::string& shop) {
    std::vector<CrossSortRow> rows;
    for (ItemSummary& summary : ItemSummaries(shop)) {
        CrossSortRow row{std::move(summary.itemId), std::move(summary.title), std::move(summary.sorts), false};
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

std::vector<ExportRow> HistoryStore::Export(const std::string& shop, const std::string& itemId) {
    std::vector<ExportRow> rows;
    ForEachExportRow(shop, itemId, [&rows](const ExportRow& row) {
        rows.push_back(row);
        return true;
    });
    return rows;
}

bool HistoryStore::ForEachExportRow(const std::string& shop, const std::string& itemId,
                                    const std::function<bool(const ExportRow&)>& sink) {
    if (!impl_)
        return false;
    try {
        SQLite::Database& db = impl_->db;
        if (!itemId.empty()) {
            // One item: its results through the item index, a few thousand rows to order.
            SQLite::Statement query(db, "SELECT r.item_id, coalesce(i.title, ''), r.state, r.page, r.slice, r.hits, "
                                        "coalesce(r.checked_at, p.finished), " RANKMOTH_PASS_COLUMNS(
                                            "p") " FROM results r CROSS JOIN passes p ON p.id = r.pass_id "
                                                 "LEFT JOIN items i ON i.shop = p.shop AND i.item_id = r.item_id "
                                                 "WHERE r.item_id = ?2 AND p.shop = ?1 ORDER BY p.started, p.id");
            query.bind(1, shop);
            query.bind(2, itemId);
            ExportRow row;
            while (query.executeStep()) {
                row.itemId = query.getColumn(0).getString();
                row.title = query.getColumn(1).getString();
                row.state = StateOf(query.getColumn(2));
                row.page = query.getColumn(3).getInt();
                row.slice = query.getColumn(4).getInt();
                row.hits = query.getColumn(5).getInt();
                row.checkedAt = query.getColumn(6).getString();
                row.pass = ReadPass(query, 7);
                if (!sink(row))
                    return false;
            }
            return true;
        }
        // A shop: pass by pass, each pass's results in key order, so its whole history streams out without a sort of
        // its millions of results, and without holding them.
        std::vector<PassRow> passes;
        SQLite::Statement listPasses(db, "SELECT " RANKMOTH_PASS_COLUMNS("p") " FROM passes p WHERE p.shop = ? "
                                                                              "ORDER BY p.started, p.id");
        listPasses.bind(1, shop);
        while (listPasses.executeStep())
            passes.push_back(ReadPass(listPasses, 0));
        SQLite::Statement results(db, "SELECT r.item_id, coalesce(i.title, ''), r.state, r.page, r.slice, r.hits, "
                                      "r.checked_at FROM results r LEFT JOIN items i ON i.shop = ?2 AND "
                                      "i.item_id = r.item_id WHERE r.pass_id = ?1 ORDER BY r.item_id");
        ExportRow row;
        for (PassRow& pass : passes) {
            results.bind(1, pass.id);
            results.bind(2, shop);
            row.pass = std::move(pass);
            while (results.executeStep()) {
                row.itemId = results.getColumn(0).getString();
                row.title = results.getColumn(1).getString();
                row.state = StateOf(results.getColumn(2));
                row.page = results.getColumn(3).getInt();
                row.slice = results.getColumn(4).getInt();
                row.hits = results.getColumn(5).getInt();
                row.checkedAt = results.getColumn(6).isNull() ? row.pass.finished : results.getColumn(6).getString();
                if (!sink(row))
                    return false;
            }
            results.reset();
        }
        return true;
    } catch (const SQLite::Exception& e) {
        error_ = Describe("export the history", path_, e.getErrorCode(), e.getErrorStr(), impl_->busyTimeout);
    }
    return false;
}

bool HistoryStore::DeleteItem(const std::string& shop, const std::string& itemId) {
    if (!impl_)
        return false;
    try {
        SQLite::Database& db = impl_->db;
        SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
        // The passes stay (they walked the listing for the other items too), so their counts drop the item.
        SQLite::Statement counts(db, "UPDATE passes SET items = items - 1, found = found - "
                                     "(SELECT state = 'found' FROM results WHERE pass_id = passes.id AND item_id = ?2) "
                                     "WHERE shop = ?1 AND id IN (SELECT pass_id FROM results WHERE item_id = ?2)");
        counts.bind(1, shop);
        counts.bind(2, itemId);
        counts.exec();
        for (const char* sql : {"DELETE FROM results WHERE item_id = ?2 AND pass_id IN "
                                "(SELECT id FROM passes WHERE shop = ?1)",
                                "DELETE FROM items WHERE shop = ?1 AND item_id = ?2",
                                "DELETE FROM standings WHERE shop = ?1 AND item_id = ?2"}) {
            SQLite::Statement statement(db, sql);
            statement.bind(1, shop);
            statement.bind(2, itemId);
            statement.exec();
        }
        transaction.commit();
        return true;
    } catch (const SQLite::Exception& e) {
        error_ = Describe("delete the item's history", path_, e.getErrorCode(), e.getErrorStr(), impl_->busyTimeout);
    }
    return false;
}

bool HistoryStore::DeleteShop(const std::string& shop) {
    if (!impl_)
        return false;
    try {
        SQLite::Database& db = impl_->db;
        SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
        for (const char* sql : {"DELETE FROM results WHERE pass_id IN (SELECT id FROM passes WHERE shop = ?1)",
                                "DELETE FROM passes WHERE shop = ?1", "DELETE FROM items WHERE shop = ?1",
                                "DELETE FROM standings WHERE shop = ?1"}) {
            SQLite::Statement statement(db, sql);
            statement.bind(1, shop);
            statement.exec();
        }
        transaction.commit();
        return true;
    } catch (const SQLite::Exception& e) {
        error_ = Describe("delete the shop's history", path_, e.getErrorCode(), e.getErrorStr(), impl_->busyTimeout);
    }
    return false;
}

bool HistoryStore::RebuildStandings() {
    if (!impl_)
        return false;
    try {
        SQLite::Transaction transaction(impl_->db, SQLite::TransactionBehavior::IMMEDIATE);
        RebuildStandingsIn(impl_->db);
        transaction.commit();
        return true;
    } catch (const SQLite::Exception& e) {
        error_ = Describe("rebuild the standings", path_, e.getErrorCode(), e.getErrorStr(), impl_->busyTimeout);
    }
    return false;
}

std::vector<PassRow> HistoryStore::Passes(const PassFilter& filter) {
    std::vector<PassRow> rows;
    if (!impl_)
        return rows;
    try {
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
        SQLite::Statement query(impl_->db, sql);
        if (!filter.shop.empty())
            query.bind(1, filter.shop);
        if (!filter.sort.empty())
            query.bind(2, filter.sort);
        if (!filter.since.empty())
            query.bind(3, filter.since);
        if (!filter.itemId.empty())
            query.bind(4, filter.itemId);
        while (query.executeStep())
            rows.push_back(ReadPass(query, 0));
    } catch (const SQLite::Exception& e) {
        error_ = Describe("list the passes", path_, e.getErrorCode(), e.getErrorStr(), impl_->busyTimeout);
    }
    return rows;
}

bool HistoryStore::ResultOf(std::int64_t passId, const std::string& itemId, ExportRow& row) {
    if (!impl_)
        return false;
    try {
        SQLite::Statement query(impl_->db, "SELECT r.item_id, coalesce(i.title, ''), r.state, r.page, r.slice, r.hits, "
                                           "coalesce(r.checked_at, p.finished), " RANKMOTH_PASS_COLUMNS(
                                               "p") " FROM results r JOIN passes p ON p.id = r.pass_id "
                                                    "LEFT JOIN items i ON i.shop = p.shop AND i.item_id = r.item_id "
                                                    "WHERE r.pass_id = ? AND r.item_id = ?");
        query.bind(1, passId);
        query.bind(2, itemId);
        if (!query.executeStep())
            return false;
        row.itemId = query.getColumn(0).getString();
        row.title = query.getColumn(1).getString();
        row.state = StateOf(query.getColumn(2));
        row.page = query.getColumn(3).getInt();
        row.slice = query.getColumn(4).getInt();
        row.hits = query.getColumn(5).getInt();
        row.checkedAt = query.getColumn(6).getString();
        row.pass = ReadPass(query, 7);
        return true;
    } catch (const SQLite::Exception& e) {
        error_ = Describe("read a result", path_, e.getErrorCode(), e.getErrorStr(), impl_->busyTimeout);
    }
    return false;
}

} // namespace rankmoth::history
