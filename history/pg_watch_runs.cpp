#include "history/pg_store.h"
#include "history/place_label.h"

#include <set>

namespace rankmoth::history::pg {

base::Result<FeedChange> PgStore::RecordFeed(const FeedSnapshot& feed) {
    return Guard<FeedChange>("record the shop feed", [&](pqxx::connection& db) {
        const std::string loadedAt = IsoTime(feed.loadedAt);
        std::set<std::string> listed;
        for (const auto& item : feed.items)
            listed.insert(item.first);
        pqxx::work work(db);
        LockShop(work, feed.shop);
        FeedChange change;
        std::set<std::string> known;
        for (const pqxx::row& row : work.exec_params("SELECT item_id, listed FROM items WHERE shop = $1", feed.shop)) {
            const std::string id = row[0].c_str();
            known.insert(id);
            // Retired by this load: the previous load listed it, this one does not.
            if (!row[1].is_null() && row[1].as<int>() == 1 && !listed.count(id))
                ++change.retired;
        }
        work.exec_params("UPDATE items SET listed = 0 WHERE shop = $1", feed.shop);
        for (const auto& [id, title] : feed.items) {
            change.added += !known.count(id);
            work.exec_params("INSERT INTO items(shop, item_id, title, first_seen, last_seen, listed) "
                             "VALUES($1, $2, $3, $4, $4, 1) ON CONFLICT(shop, item_id) DO UPDATE SET "
                             "title = CASE WHEN excluded.last_seen >= items.last_seen AND excluded.title <> '' "
                             "THEN excluded.title ELSE items.title END, "
                             "first_seen = least(items.first_seen, excluded.first_seen), "
                             "last_seen = greatest(items.last_seen, excluded.last_seen), listed = 1",
                             feed.shop, id, title, loadedAt);
        }
        work.exec_params("INSERT INTO feeds(shop, loaded_at, items, requests) VALUES($1, $2, $3, $4) "
                         "ON CONFLICT(shop, loaded_at) DO UPDATE SET items = excluded.items, "
                         "requests = excluded.requests",
                         feed.shop, loadedAt, static_cast<int>(listed.size()), feed.requests);
        work.commit();
        return change;
    });
}

base::Result<std::optional<FeedRow>> PgStore::LatestFeed(const std::string& shop) {
    return Guard<std::optional<FeedRow>>("read the last feed load", [&](pqxx::connection& db) {
        pqxx::read_transaction work(db);
        const pqxx::result latest = work.exec_params(
            "SELECT loaded_at, items, requests FROM feeds WHERE shop = $1 ORDER BY loaded_at DESC LIMIT 1", shop);
        if (latest.empty())
            return std::optional<FeedRow>();
        return std::optional<FeedRow>(FeedRow{latest[0][0].c_str(), latest[0][1].as<int>(), latest[0][2].as<int>()});
    });
}

base::Result<std::vector<ItemSighting>> PgStore::RetiredItems(const std::string& shop) {
    return Guard<std::vector<ItemSighting>>("read the retired items", [&](pqxx::connection& db) {
        pqxx::read_transaction work(db);
        std::vector<ItemSighting> retired;
        for (const pqxx::row& row :
             work.exec_params("SELECT item_id, title, first_seen, last_seen FROM items WHERE shop = $1 AND "
                              "listed = 0 ORDER BY last_seen DESC, item_id",
                              shop))
            retired.push_back({row[0].c_str(), row[1].c_str(), row[2].c_str(), row[3].c_str()});
        return retired;
    });
}

base::Result<std::optional<double>> PgStore::SecondsPerRequest(int passes) {
    return Guard<std::optional<double>>("read the passes' pace", [&](pqxx::connection& db) {
        pqxx::read_transaction work(db);
        double seconds = 0;
        long long requests = 0;
        for (const pqxx::row& row : work.exec_params("SELECT started, finished, requests FROM passes WHERE "
                                                     "requests > 0 ORDER BY started DESC LIMIT $1",
                                                     passes)) {
            base::Clock::time_point started, finished;
            if (!ParseIsoTime(row[0].c_str(), started) || !ParseIsoTime(row[1].c_str(), finished) || finished < started)
                continue;
            seconds += std::chrono::duration<double>(finished - started).count();
            requests += row[2].as<int>();
        }
        return requests > 0 ? std::optional<double>(seconds / static_cast<double>(requests)) : std::nullopt;
    });
}

base::Result<std::int64_t> PgStore::RecordRun(const RunRow& run) {
    return Guard<std::int64_t>("record the run", [&](pqxx::connection& db) {
        pqxx::work work(db);
        const std::int64_t id =
            work.exec_params1("INSERT INTO runs(started, finished, exit_status, watch, passes, failed_requests, "
                              "reasons, alerts, alert_text, notification_id) "
                              "VALUES($1, $2, $3, $4, $5, $6, $7, $8, $9, $10) RETURNING id",
                              run.started, run.finished, run.exitStatus, run.watch, run.passes, run.failedRequests,
                              run.reasons, run.alerts, run.alertText, static_cast<std::int64_t>(run.notificationId))[0]
                .as<std::int64_t>();
        work.commit();
        return id;
    });
}

base::Result<std::optional<RunRow>> PgStore::LatestRun() {
    return Guard<std::optional<RunRow>>("read the last run", [&](pqxx::connection& db) {
        pqxx::read_transaction work(db);
        const pqxx::result latest =
            work.exec("SELECT id, started, finished, exit_status, watch, passes, failed_requests, reasons, alerts, "
                      "alert_text, notification_id FROM runs ORDER BY id DESC LIMIT 1");
        if (latest.empty())
            return std::optional<RunRow>();
        const pqxx::row row = latest[0];
        RunRow run;
        run.id = row[0].as<std::int64_t>();
        run.started = row[1].c_str();
        run.finished = row[2].c_str();
        run.exitStatus = row[3].as<int>();
        run.watch = row[4].c_str();
        run.passes = row[5].as<int>();
        run.failedRequests = row[6].as<int>();
        run.reasons = row[7].c_str();
        run.alerts = row[8].c_str();
        run.alertText = row[9].c_str();
        run.notificationId = static_cast<std::uint32_t>(row[10].as<std::int64_t>());
        return std::optional<RunRow>(std::move(run));
    });
}

base::Result<std::vector<web::HostBackoff>> PgStore::Backoffs() {
    return Guard<std::vector<web::HostBackoff>>("read the hosts' backoff", [&](pqxx::connection& db) {
        pqxx::read_transaction work(db);
        std::vector<web::HostBackoff> hosts;
        for (const pqxx::row& row :
             work.exec("SELECT host, blocked_until, strikes, last_status, last_strike FROM hosts ORDER BY host")) {
            web::HostBackoff backoff;
            backoff.host = row[0].c_str();
            ParseIsoTime(row[1].c_str(), backoff.blockedUntil);
            backoff.strikes = row[2].as<int>();
            backoff.lastStatus = row[3].as<int>();
            ParseIsoTime(row[4].c_str(), backoff.lastStrike);
            hosts.push_back(std::move(backoff));
        }
        return hosts;
    });
}

base::Result<void> PgStore::SaveBackoff(const web::HostBackoff& backoff) {
    return Guard<void>("keep the host's backoff", [&](pqxx::connection& db) {
        pqxx::work work(db);
        work.exec_params("INSERT INTO hosts(host, blocked_until, strikes, last_status, last_strike) "
                         "VALUES($1, $2, $3, $4, $5) ON CONFLICT(host) DO UPDATE SET "
                         "blocked_until = excluded.blocked_until, strikes = excluded.strikes, "
                         "last_status = excluded.last_status, last_strike = excluded.last_strike",
                         backoff.host, IsoTime(backoff.blockedUntil), backoff.strikes,
                         static_cast<std::int64_t>(backoff.lastStatus), IsoTime(backoff.lastStrike));
        work.commit();
    });
}

} // namespace rankmoth::history::pg
