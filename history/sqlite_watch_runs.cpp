#include "history/place_label.h"
#include "history/sqlite_store.h"

#include <set>

namespace rankmoth::history::sqlite {

base::Result<FeedChange> SqliteStore::RecordFeed(const FeedSnapshot& feed) {
    return Guard<FeedChange>("record the shop feed", [&](SQLite::Database& db) {
        const std::string loadedAt = IsoTime(feed.loadedAt);
        std::set<std::string> listed;
        for (const auto& item : feed.items)
            listed.insert(item.first);
        SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
        FeedChange change;
        std::set<std::string> known;
        SQLite::Statement items(db, "SELECT item_id, listed FROM items WHERE shop = ?");
        items.bind(1, feed.shop);
        while (items.executeStep()) {
            const std::string id = items.getColumn(0).getString();
            known.insert(id);
            // Retired by this load: the previous load listed it, this one does not.
            if (items.getColumn(1).getInt() == 1 && !listed.count(id))
                ++change.retired;
        }
        SQLite::Statement unlist(db, "UPDATE items SET listed = 0 WHERE shop = ?");
        unlist.bind(1, feed.shop);
        unlist.exec();
        SQLite::Statement upsert(db, kUpsertItem);
        SQLite::Statement list(db, "UPDATE items SET listed = 1 WHERE shop = ? AND item_id = ?");
        for (const auto& [id, title] : feed.items) {
            change.added += !known.count(id);
            upsert.bind(1, feed.shop);
            upsert.bind(2, id);
            upsert.bind(3, title);
            upsert.bind(4, loadedAt);
            upsert.exec();
            upsert.reset();
            list.bind(1, feed.shop);
            list.bind(2, id);
            list.exec();
            list.reset();
        }
        SQLite::Statement insert(db, "INSERT OR REPLACE INTO feeds(shop, loaded_at, items, requests) VALUES(?, ?, ?, ?)");
        insert.bind(1, feed.shop);
        insert.bind(2, loadedAt);
        insert.bind(3, static_cast<int>(listed.size()));
        insert.bind(4, feed.requests);
        insert.exec();
        transaction.commit();
        return change;
    });
}

base::Result<std::optional<FeedRow>> SqliteStore::LatestFeed(const std::string& shop) {
    return Guard<std::optional<FeedRow>>("read the last feed load", [&](SQLite::Database& db) {
        SQLite::Statement latest(db, "SELECT loaded_at, items, requests FROM feeds WHERE shop = ? "
                                     "ORDER BY loaded_at DESC LIMIT 1");
        latest.bind(1, shop);
        if (!latest.executeStep())
            return std::optional<FeedRow>();
        return std::optional<FeedRow>(
            FeedRow{latest.getColumn(0).getString(), latest.getColumn(1).getInt(), latest.getColumn(2).getInt()});
    });
}

base::Result<std::vector<ItemSighting>> SqliteStore::RetiredItems(const std::string& shop) {
    return Guard<std::vector<ItemSighting>>("read the retired items", [&](SQLite::Database& db) {
        SQLite::Statement query(db, "SELECT item_id, title, first_seen, last_seen FROM items WHERE shop = ? AND "
                                    "listed = 0 ORDER BY last_seen DESC, item_id");
        query.bind(1, shop);
        std::vector<ItemSighting> retired;
        while (query.executeStep())
            retired.push_back({query.getColumn(0).getString(), query.getColumn(1).getString(),
                               query.getColumn(2).getString(), query.getColumn(3).getString()});
        return retired;
    });
}

base::Result<std::optional<double>> SqliteStore::SecondsPerRequest(int passes) {
    return Guard<std::optional<double>>("read the passes' pace", [&](SQLite::Database& db) {
        SQLite::Statement query(db, "SELECT started, finished, requests FROM passes WHERE requests > 0 "
                                    "ORDER BY started DESC LIMIT ?");
        query.bind(1, passes);
        double seconds = 0;
        long long requests = 0;
        while (query.executeStep()) {
            base::Clock::time_point started, finished;
            if (!ParseIsoTime(query.getColumn(0).getString(), started) ||
                !ParseIsoTime(query.getColumn(1).getString(), finished) || finished < started)
                continue;
            seconds += std::chrono::duration<double>(finished - started).count();
            requests += query.getColumn(2).getInt();
        }
        return requests > 0 ? std::optional<double>(seconds / static_cast<double>(requests)) : std::nullopt;
    });
}

base::Result<std::int64_t> SqliteStore::RecordRun(const RunRow& run) {
    return Guard<std::int64_t>("record the run", [&](SQLite::Database& db) {
        SQLite::Statement insert(db, "INSERT INTO runs(started, finished, exit_status, watch, passes, failed_requests, "
                                     "reasons, alerts, alert_text, notification_id) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        insert.bind(1, run.started);
        insert.bind(2, run.finished);
        insert.bind(3, run.exitStatus);
        insert.bind(4, run.watch);
        insert.bind(5, run.passes);
        insert.bind(6, run.failedRequests);
        insert.bind(7, run.reasons);
        insert.bind(8, run.alerts);
        insert.bind(9, run.alertText);
        insert.bind(10, static_cast<std::int64_t>(run.notificationId));
        insert.exec();
        return static_cast<std::int64_t>(db.getLastInsertRowid());
    });
}

base::Result<std::optional<RunRow>> SqliteStore::LatestRun() {
    return Guard<std::optional<RunRow>>("read the last run", [&](SQLite::Database& db) {
        SQLite::Statement query(db, "SELECT id, started, finished, exit_status, watch, passes, failed_requests, "
                                    "reasons, alerts, alert_text, notification_id FROM runs ORDER BY id DESC LIMIT 1");
        if (!query.executeStep())
            return std::optional<RunRow>();
        RunRow run;
        run.id = query.getColumn(0).getInt64();
        run.started = query.getColumn(1).getString();
        run.finished = query.getColumn(2).getString();
        run.exitStatus = query.getColumn(3).getInt();
        run.watch = query.getColumn(4).getString();
        run.passes = query.getColumn(5).getInt();
        run.failedRequests = query.getColumn(6).getInt();
        run.reasons = query.getColumn(7).getString();
        run.alerts = query.getColumn(8).getString();
        run.alertText = query.getColumn(9).getString();
        run.notificationId = static_cast<std::uint32_t>(query.getColumn(10).getInt64());
        return std::optional<RunRow>(std::move(run));
    });
}

base::Result<std::vector<web::HostBackoff>> SqliteStore::Backoffs() {
    return Guard<std::vector<web::HostBackoff>>("read the hosts' backoff", [&](SQLite::Database& db) {
        SQLite::Statement query(db, "SELECT host, blocked_until, strikes, last_status, last_strike FROM hosts "
                                    "ORDER BY host");
        std::vector<web::HostBackoff> hosts;
        while (query.executeStep()) {
            web::HostBackoff backoff;
            backoff.host = query.getColumn(0).getString();
            ParseIsoTime(query.getColumn(1).getString(), backoff.blockedUntil);
            backoff.strikes = query.getColumn(2).getInt();
            backoff.lastStatus = query.getColumn(3).getInt();
            ParseIsoTime(query.getColumn(4).getString(), backoff.lastStrike);
            hosts.push_back(std::move(backoff));
        }
        return hosts;
    });
}

base::Result<void> SqliteStore::SaveBackoff(const web::HostBackoff& backoff) {
    return Guard<void>("keep the host's backoff", [&](SQLite::Database& db) {
        SQLite::Statement save(db, "INSERT OR REPLACE INTO hosts(host, blocked_until, strikes, last_status, "
                                   "last_strike) VALUES(?, ?, ?, ?, ?)");
        save.bind(1, backoff.host);
        save.bind(2, IsoTime(backoff.blockedUntil));
        save.bind(3, backoff.strikes);
        save.bind(4, static_cast<std::int64_t>(backoff.lastStatus));
        save.bind(5, IsoTime(backoff.lastStrike));
        save.exec();
    });
}

} // namespace rankmoth::history::sqlite
