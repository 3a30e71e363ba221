#include "history/sqlite_store.h"

#include "history/place_label.h"

#include <set>

namespace rankmoth::history::sqlite {

base::Result<std::int64_t> SqliteStore::RecordPass(const base::PassOutcome& pass) {
    return Guard<std::int64_t>("record the pass", [&](SQLite::Database& db) {
        const std::string shop = pass.request.shop.ToUtf8();
        const std::string& sort = pass.request.sort;
        const std::string started = IsoTime(pass.started);
        const std::string finished = IsoTime(pass.finished);

        const auto [items, found] = ResultsToKeep(pass);

        SQLite::Transaction transaction(db, SQLite::TransactionBehavior::IMMEDIATE);
        SQLite::Statement insertPass(db, "INSERT INTO passes(shop, category, sub_category, sort, page_limit, started, "
                                         "finished, pages_walked, requests, failed_requests, stopped, items, found, "
                                         "walk_id) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
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
        insertPass.bindNoCopy(14, pass.walkId);
        insertPass.exec();
        const std::int64_t passId = db.getLastInsertRowid();

        SQLite::Statement insertResult(
            db,
            "INSERT INTO results(pass_id, item_id, state, page, slice, hits, checked_at) VALUES(?, ?, ?, ?, ?, ?, ?)");
        SQLite::Statement upsertItem(db, kUpsertItem);
        SQLite::Statement readStanding(db, "SELECT pass_id, started, state, page, slice, checked_at, prev_state, "
                                           "prev_page, prev_slice, best_position FROM standings "
                                           "WHERE shop = ? AND item_id = ? AND sort = ?");
        SQLite::Statement writeStanding(db, "INSERT OR REPLACE INTO standings VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                                            "?, ?)");
        for (const base::ItemResult* item : items) {
            const std::string itemId = item->itemId.ToUtf8();
            const bool isFound = item->state == base::ItemState::Found;
            const PassObservation observed{passId,
                                           started,
                                           {item->state, isFound ? item->page : 0, isFound ? item->slice : 0},
                                           item->checkedAt == base::Clock::time_point{} ? finished
                                                                                        : IsoTime(item->checkedAt)};

            insertResult.bind(1, passId);
            insertResult.bindNoCopy(2, itemId);
            insertResult.bind(3, std::string(base::StateName(item->state)));
            insertResult.bind(4, observed.place.page);
            insertResult.bind(5, observed.place.slice);
            insertResult.bind(6, item->hits);
            insertResult.bindNoCopy(7, observed.checkedAt);
            insertResult.exec();
            insertResult.reset();

            upsertItem.bindNoCopy(1, shop);
            upsertItem.bindNoCopy(2, itemId);
            upsertItem.bind(3, item->title.ToUtf8());
            upsertItem.bindNoCopy(4, started);
            upsertItem.exec();
            upsertItem.reset();

            readStanding.bindNoCopy(1, shop);
            readStanding.bindNoCopy(2, itemId);
            readStanding.bindNoCopy(3, sort);
            std::optional<Standing> held;
            if (readStanding.executeStep())
                held = ReadStanding(readStanding, 0);
            readStanding.reset();
            BindStanding(writeStanding, shop, itemId, sort, AdvanceStanding(held ? &*held : nullptr, observed));
            writeStanding.exec();
            writeStanding.reset();
        }
        transaction.commit();
        return passId;
    });
}

base::Result<std::optional<Baseline>> SqliteStore::BaselineFor(const base::PassOutcome& pass) {
    return Guard<std::optional<Baseline>>("read the previous pass", [&](SQLite::Database& db) {
        SQLite::Statement latest(db, "SELECT id, page_limit FROM passes WHERE shop = ? AND sort = ? AND "
                                     "category = ? AND sub_category = ? AND started < ? AND stopped = 0 "
                                     "AND failed_requests = 0 ORDER BY started DESC, id DESC LIMIT 1");
        latest.bind(1, pass.request.shop.ToUtf8());
        latest.bind(2, pass.request.sort);
        latest.bind(3, pass.request.category);
        latest.bind(4, pass.request.subCategory.ToUtf8());
        latest.bind(5, IsoTime(pass.started));
        if (!latest.executeStep())
            return std::optional<Baseline>();
        Baseline baseline;
        baseline.passId = latest.getColumn(0).getInt64();
        baseline.pageLimit = latest.getColumn(1).getInt();
        SQLite::Statement results(db, "SELECT item_id, state, page, slice FROM results WHERE pass_id = ?");
        results.bind(1, baseline.passId);
        while (results.executeStep())
            baseline.items.push_back({results.getColumn(0).getString(), StateOf(results.getColumn(1)),
                                      results.getColumn(2).getInt(), results.getColumn(3).getInt()});
        return std::optional<Baseline>(std::move(baseline));
    });
}

} // namespace rankmoth::history::sqlite
