// A round's shared work in the database: a claim locks the one row it takes and skips rows other claims hold,
// so machines claiming at once each get a different piece without waiting for one another.
#include "history/pg_store.h"

namespace rankmoth::history::pg {

namespace {

// Times by the server's clock, which every machine shares, as the IsoTime text the other tables hold.
constexpr const char* kNow = "to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"')";

std::string LeaseEnd(std::chrono::seconds lease) {
    return "to_char((now() + interval '" + std::to_string(lease.count()) +
           " seconds') AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"')";
}

std::string Columns() {
    return std::string("round, kind, piece, position, opened_at, worker, claimed_at, lease_until, finished_at, "
                       "claims, finished_at = '' AND worker <> '' AND lease_until < ") +
           kNow;
}

WorkRow ReadWork(const pqxx::row& row) {
    WorkRow work;
    work.round = row[0].c_str();
    work.kind = row[1].c_str();
    work.piece = row[2].c_str();
    work.position = row[3].as<int>();
    work.openedAt = row[4].c_str();
    work.worker = row[5].c_str();
    work.claimedAt = row[6].c_str();
    work.leaseUntil = row[7].c_str();
    work.finishedAt = row[8].c_str();
    work.claims = row[9].as<int>();
    work.leaseExpired = row[10].as<bool>();
    return work;
}

} // namespace

base::Result<void> PgStore::OpenRound(const std::string& round, const std::vector<WorkPiece>& work) {
    return Guard<void>("open the round", [&](pqxx::connection& db) {
        pqxx::work transaction(db);
        for (std::size_t k = 0; k < work.size(); ++k)
            transaction.exec_params(std::string("INSERT INTO round_work(round, kind, piece, position, opened_at) "
                                                "VALUES($1, $2, $3, $4, ") +
                                        kNow + ") ON CONFLICT(round, piece) DO NOTHING",
                                    round, work[k].kind, work[k].piece, static_cast<int>(k));
        transaction.commit();
    });
}

base::Result<std::optional<WorkRow>> PgStore::ClaimWork(const std::string& round, const std::string& kind,
                                                        const std::string& worker, std::chrono::seconds lease) {
    return Guard<std::optional<WorkRow>>("claim the round's work", [&](pqxx::connection& db) {
        pqxx::work transaction(db);
        const pqxx::result claimed = transaction.exec_params(
            std::string("UPDATE round_work SET worker = $3, claimed_at = ") + kNow +
                ", lease_until = " + LeaseEnd(lease) +
                ", claims = claims + 1 WHERE id = (SELECT id FROM round_work WHERE round = $1 AND kind = $2 AND "
                "finished_at = '' AND (worker = '' OR lease_until < " +
                kNow + ") ORDER BY position FOR UPDATE SKIP LOCKED LIMIT 1) RETURNING " + Columns(),
            round, kind, worker);
        transaction.commit();
        return claimed.empty() ? std::optional<WorkRow>() : std::optional<WorkRow>(ReadWork(claimed[0]));
    });
}

base::Result<bool> PgStore::RenewLease(const std::string& round, const std::string& piece, const std::string& worker,
                                       std::chrono::seconds lease) {
    return Guard<bool>("renew the lease", [&](pqxx::connection& db) {
        pqxx::work transaction(db);
        const pqxx::result renewed =
            transaction.exec_params("UPDATE round_work SET lease_until = " + LeaseEnd(lease) +
                                        " WHERE round = $1 AND piece = $2 AND worker = $3 AND finished_at = ''",
                                    round, piece, worker);
        transaction.commit();
        return renewed.affected_rows() == 1;
    });
}

base::Result<bool> PgStore::FinishWork(const std::string& round, const std::string& piece, const std::string& worker) {
    return Guard<bool>("finish the round's work", [&](pqxx::connection& db) {
        pqxx::work transaction(db);
        const pqxx::result finished =
            transaction.exec_params(std::string("UPDATE round_work SET finished_at = ") + kNow +
                                        " WHERE round = $1 AND piece = $2 AND worker = $3 AND finished_at = ''",
                                    round, piece, worker);
        transaction.commit();
        return finished.affected_rows() == 1;
    });
}

base::Result<std::vector<WorkRow>> PgStore::RoundWork(const std::string& round) {
    return Guard<std::vector<WorkRow>>("read the round", [&](pqxx::connection& db) {
        pqxx::read_transaction transaction(db);
        std::vector<WorkRow> rows;
        for (const pqxx::row& row : transaction.exec_params(
                 "SELECT " + Columns() +
                     " FROM round_work WHERE round = coalesce(nullif($1, ''), (SELECT round FROM round_work "
                     "ORDER BY opened_at DESC, id DESC LIMIT 1)) ORDER BY kind = 'walk', position",
                 round))
            rows.push_back(ReadWork(row));
        return rows;
    });
}

base::Result<std::vector<std::pair<std::string, std::string>>> PgStore::ListedItems(const std::string& shop) {
    return Guard<std::vector<std::pair<std::string, std::string>>>("read the shop's items", [&](pqxx::connection& db) {
        pqxx::read_transaction transaction(db);
        std::vector<std::pair<std::string, std::string>> items;
        for (const pqxx::row& row : transaction.exec_params(
                 "SELECT item_id, title FROM items WHERE shop = $1 AND listed = 1 ORDER BY item_id", shop))
            items.emplace_back(row[0].c_str(), row[1].c_str());
        return items;
    });
}

} // namespace rankmoth::history::pg
