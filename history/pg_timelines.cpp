#include "history/pg_store.h"

#include <algorithm>

namespace rankmoth::history::pg {

base::Result<void> PgStore::ForEachTimeline(const std::string& shop, const TimelineSink& sink,
                                            std::size_t resultsAtOnce) {
    return Guard<void>("read the shop's timelines", [&](pqxx::connection& db) {
        // One snapshot for the whole read: a pass another machine records meanwhile is in every timeline or in
        // none, where a read item by item would show it in the later items only.
        pqxx::transaction<pqxx::repeatable_read, pqxx::read_only> work(db);
        // The server orders the shop's results by item and hands them over a batch at a time through a cursor,
        // so one query replaces one per item and only one item's timeline is held here. The ID columns
        // collate as "C", so items come in byte order, as the file history gives them.
        std::string item;
        ItemTimeline timeline;
        bool holding = false, stopped = false;
        ForEachRowOf(work, "shop_timelines",
                     "SELECT r.item_id, " RANKMOTH_PG_TIMELINE_COLUMNS
                     " FROM results r JOIN passes p ON p.id = r.pass_id "
                     "JOIN items i ON i.shop = p.shop AND i.item_id = r.item_id WHERE p.shop = " +
                         work.quote(shop) + " ORDER BY r.item_id, p.started, p.id",
                     std::min(resultsAtOnce, kRowsAFetch), [&](const pqxx::row& row) {
                         if (holding && item != row[0].c_str()) {
                             if (!sink(item, timeline)) {
                                 stopped = true;
                                 return false;
                             }
                             timeline = {};
                         }
                         item = row[0].c_str();
                         holding = true;
                         AddTimelinePoint(timeline, row, 1);
                         return true;
                     });
        if (holding && !stopped)
            sink(item, timeline);
    });
}

} // namespace rankmoth::history::pg
