// A round's shared work in the SQLite file: each claim inside BEGIN IMMEDIATE, so that two processes on one
// machine never take the same piece.
#include "history/sqlite_store.h"

namespace rankmoth::history::sqlite {

namespace {

constexpr const char* kNow = "strftime('%Y-%m-%dT%H:%M:%SZ', 'now')";

constexpr const char* kColumns =
    "round, kind, piece, position, opened_at, worker, claimed_at, lease_until, finished_at, claims, "
    "finished_at = '' AND worker <> '' AND lease_until < strftime('%Y-%m-%dT%H:%M:%SZ', 'now')";

WorkRow ReadWork(SQLite::Statement& query) {
    WorkRow row;
    row.round = query.getColumn(0).getString();
    row.kind = query.getColumn(1).getString();
    row.piece = query.getColumn(2).getString();
    row.position = query.getColumn(3).getInt();
    row.openedAt = query.getColumn(4).getString();
    row.worker = query.getColumn(5).getString();
    row.claimedAt = query.getColumn(6).getString();
    row.leaseUntil = query.getColumn(7).getString();
    row.finishedAt = query.getColumn(8).getString();
    row.claims = query.getColumn(9).getInt();
    row.leaseExpired = query.getColumn(10).getInt() != 0;
    return row;
}

std::string LeaseEnd(std::chrono::seconds lease) {
    return "strftime('%Y-%m-%dT%H:%M:%SZ', 'now', '+" + std::to_string(lease.count()) + " seconds')";
}

} // namespace

base::Result<void> SqliteStore::OpenRound(const std::string& round, const std::vector<WorkPiece>& work) {
    return Guard<void>("open the round", [&](SQLite::Database& db) {
        SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
        SQLite::Statement insert(db, std::string("INSERT INTO round_work(round, kind, piece, position, opened_at) "
                                                 "VALUES(?, ?, ?, ?, ") +
                                         kNow + ") ON CONFLICT(round, piece) DO NOTHING");
        for (std::size_t k = 0; k < work.size(); ++k) {
            insert.bind(1, round);
            insert.bind(2, work[k].kind);
            insert.bind(3, work[k].piece);
            insert.bind(4, static_cast<int>(k));
            insert.exec();
            insert.reset();
        }
        transaction.commit();
    });
}

base::Result<std::optional<WorkRow>> SqliteStore::ClaimWork(const std::string& round, const std::string& kind,
                                                            const std::string& worker, std::chrono::seconds lease) {
    return Guard<std::optional<WorkRow>>("claim the round's work", [&](SQLite::Database& db) {
        SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
        SQLite::Statement pick(db, std::string("SELECT id FROM round_work WHERE round = ? AND kind = ? AND "
                                               "finished_at = '' AND (worker = '' OR lease_until < ") +
                                       kNow + ") ORDER BY position LIMIT 1");
        pick.bind(1, round);
        pick.bind(2, kind);
        if (!pick.executeStep())
            return std::optional<WorkRow>();
        const std::int64_t id = pick.getColumn(0).getInt64();
        SQLite::Statement take(db, std::string("UPDATE round_work SET worker = ?, claimed_at = ") + kNow +
                                       ", lease_until = " + LeaseEnd(lease) + ", claims = claims + 1 WHERE id = ?");
        take.bind(1, worker);
        take.bind(2, id);
        take.exec();
        SQLite::Statement read(db, std::string("SELECT ") + kColumns + " FROM round_work WHERE id = ?");
        read.bind(1, id);
        read.executeStep();
        std::optional<WorkRow> claimed = ReadWork(read);
        transaction.commit();
        return claimed;
    });
}

base::Result<bool> SqliteStore::RenewLease(const std::string& round, const std::string& piece,
                                           const std::string& worker, std::chrono::seconds lease) {
    return Guard<bool>("renew the lease", [&](SQLite::Database& db) {
        SQLite::Statement renew(db, "UPDATE round_work SET lease_until = " + LeaseEnd(lease) +
                                        " WHERE round = ? AND piece = ? AND worker = ? AND finished_at = ''");
        renew.bind(1, round);
        renew.bind(2, piece);
        renew.bind(3, worker);
        return renew.exec() == 1;
    });
}

base::Result<bool> SqliteStore::FinishWork(const std::string& round, const std::string& piece,
                                           const std::string& worker) {
    return Guard<bool>("finish the round's work", [&](SQLite::Database& db) {
        SQLite::Statement finish(db, std::string("UPDATE round_work SET finished_at = ") + kNow +
                                         " WHERE round = ? AND piece = ? AND worker = ? AND finished_at = ''");
        finish.bind(1, round);
        finish.bind(2, piece);
        finish.bind(3, worker);
        return finish.exec() == 1;
    });
}

base::Result<std::vector<WorkRow>> SqliteStore::RoundWork(const std::string& round) {
    return Guard<std::vector<WorkRow>>("read the round", [&](SQLite::Database& db) {
        SQLite::Statement query(
            db, std::string("SELECT ") + kColumns +
                    " FROM round_work WHERE round = coalesce(nullif(?1, ''), (SELECT round FROM round_work "
                    "ORDER BY opened_at DESC, id DESC LIMIT 1)) ORDER BY kind = 'walk', position");
        query.bind(1, round);
        std::vector<WorkRow> rows;
        while (query.executeStep())
            rows.push_back(ReadWork(query));
        return rows;
    });
}

base::Result<std::vector<std::pair<std::string, std::string>>> SqliteStore::ListedItems(const std::string& shop) {
    return Guard<std::vector<std::pair<std::string, std::string>>>("read the shop's items", [&](SQLite::Database& db) {
        SQLite::Statement query(db, "SELECT item_id, title FROM items WHERE shop = ? AND listed = 1 ORDER BY item_id");
        query.bind(1, shop);
        std::vector<std::pair<std::string, std::string>> items;
        while (query.executeStep())
            items.emplace_back(query.getColumn(0).getString(), query.getColumn(1).getString());
        return items;
    });
}

} // namespace rankmoth::history::sqlite
