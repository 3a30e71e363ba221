#include "history/sqlite_store.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <system_error>
#include <tuple>
#include <vector>

namespace rankmoth::history::sqlite {

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

base::ItemState StateOf(const SQLite::Column& column) {
    base::ItemState state = base::ItemState::Incomplete;
    base::StateFromName(column.getString(), state);
    return state;
}

Standing ReadStanding(SQLite::Statement& query, int first) {
    Standing standing;
    standing.passId = query.getColumn(first).getInt64();
    standing.started = query.getColumn(first + 1).getString();
    standing.latest = {StateOf(query.getColumn(first + 2)), query.getColumn(first + 3).getInt(),
                       query.getColumn(first + 4).getInt()};
    standing.checkedAt = query.getColumn(first + 5).getString();
    if (!query.getColumn(first + 6).isNull())
        standing.previous = Place{StateOf(query.getColumn(first + 6)), query.getColumn(first + 7).getInt(),
                                  query.getColumn(first + 8).getInt()};
    standing.bestPosition = query.getColumn(first + 9).getInt();
    return standing;
}

void BindStanding(SQLite::Statement& write, const std::string& shop, const std::string& itemId, const std::string& sort,
                  const Standing& standing) {
    write.bind(1, shop);
    write.bind(2, itemId);
    write.bind(3, sort);
    write.bind(4, standing.passId);
    write.bind(5, standing.started);
    write.bind(6, std::string(base::StateName(standing.latest.state)));
    write.bind(7, standing.latest.page);
    write.bind(8, standing.latest.slice);
    write.bind(9, standing.checkedAt);
    if (standing.previous) {
        write.bind(10, std::string(base::StateName(standing.previous->state)));
        write.bind(11, standing.previous->page);
        write.bind(12, standing.previous->slice);
    } else {
        write.bind(10);
        write.bind(11);
        write.bind(12);
    }
    write.bind(13, standing.bestPosition);
}

// Rebuilds every standing from the results: passes in time order, each pass's results read in key order, so the
// whole history is read once and in sequence.
void RebuildStandingsIn(SQLite::Database& db) {
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
            PassObservation seen{
                pass.id,
                pass.started,
                {StateOf(results.getColumn(1)), results.getColumn(2).getInt(), results.getColumn(3).getInt()},
                results.getColumn(4).getString()};
            if (seen.checkedAt.empty())
                seen.checkedAt = pass.finished;
            const auto [held, first] = standings.try_emplace({pass.shop, results.getColumn(0).getString(), pass.sort});
            held->second = AdvanceStanding(first ? nullptr : &held->second, seen);
        }
        results.reset();
    }
    db.exec("DELETE FROM standings");
    SQLite::Statement write(db, "INSERT INTO standings VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    for (const auto& [key, standing] : standings) {
        BindStanding(write, std::get<0>(key), std::get<1>(key), std::get<2>(key), standing);
        write.exec();
        write.reset();
    }
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

} // namespace

SideFileTidier::~SideFileTidier() {
    if (!path.empty())
        RemoveSideFiles(path);
}

base::Result<void> SqliteStore::DeleteItem(const std::string& shop, const std::string& itemId) {
    return Guard<void>("delete the item's history", [&](SQLite::Database& db) {
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
    });
}

base::Result<void> SqliteStore::DeleteShop(const std::string& shop) {
    return Guard<void>("delete the shop's history", [&](SQLite::Database& db) {
        SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
        for (const char* sql : {"DELETE FROM results WHERE pass_id IN (SELECT id FROM passes WHERE shop = ?1)",
                                "DELETE FROM passes WHERE shop = ?1", "DELETE FROM items WHERE shop = ?1",
                                "DELETE FROM standings WHERE shop = ?1", "DELETE FROM feeds WHERE shop = ?1"}) {
            SQLite::Statement statement(db, sql);
            statement.bind(1, shop);
            statement.exec();
        }
        transaction.commit();
    });
}

base::Result<void> SqliteStore::RebuildStandings() {
    return Guard<void>("rebuild the standings", [](SQLite::Database& db) {
        SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
        RebuildStandingsIn(db);
        transaction.commit();
    });
}

} // namespace rankmoth::history::sqlite
