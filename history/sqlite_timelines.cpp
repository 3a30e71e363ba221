#include "history/sqlite_store.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace rankmoth::history::sqlite {

namespace {

struct PassOfShop {
    std::int64_t id = 0;
    int sort = -1;
    std::string started;
    bool stopped = false;
    bool failed = false;
};

// One result, as small as it can be held: its pass by place in time order.
struct Cell {
    std::uint32_t pass = 0;
    std::uint8_t state = 0;
    std::uint8_t slice = 0;
    std::uint16_t page = 0;
};

} // namespace

base::Result<void> SqliteStore::ForEachTimeline(const std::string& shop, const TimelineSink& sink,
                                                std::size_t resultsAtOnce) {
    return Guard<void>("read the shop's timelines", [&](SQLite::Database& db) {
        // One read transaction: the passes, the items and their results as of one moment.
        SQLite::Transaction snapshot(db);
        std::vector<PassOfShop> passes;
        std::unordered_map<std::int64_t, std::uint32_t> placeOf;
        SQLite::Statement listed(db, "SELECT id, sort, started, stopped, failed_requests FROM passes WHERE shop = ? "
                                     "ORDER BY started, id");
        listed.bind(1, shop);
        while (listed.executeStep()) {
            placeOf.emplace(listed.getColumn(0).getInt64(), static_cast<std::uint32_t>(passes.size()));
            passes.push_back({listed.getColumn(0).getInt64(), SortIndex(listed.getColumn(1).getString()),
                              listed.getColumn(2).getString(), listed.getColumn(3).getInt() != 0,
                              listed.getColumn(4).getInt() > 0});
        }
        std::vector<std::string> items;
        SQLite::Statement named(db, "SELECT item_id FROM items WHERE shop = ? ORDER BY item_id");
        named.bind(1, shop);
        while (named.executeStep())
            items.push_back(named.getColumn(0).getString());
        if (passes.empty() || items.empty())
            return;

        // Items a span at a time, each span's results read pass by pass through the results' own key (a range
        // of it per pass), so the file is read in its order, no result is sorted, and memory stays bounded:
        // the item index would cost a look-up per result, and ordering every result a sort of them all.
        const std::size_t span = std::max<std::size_t>(1, resultsAtOnce / passes.size());
        SQLite::Statement results(db, "SELECT r.pass_id, r.item_id, r.state, r.page, r.slice FROM passes p CROSS JOIN "
                                      "results r ON r.pass_id = p.id AND r.item_id BETWEEN ?2 AND ?3 "
                                      "WHERE p.shop = ?1");
        for (std::size_t from = 0; from < items.size(); from += span) {
            const std::size_t to = std::min(items.size(), from + span);
            std::vector<std::vector<Cell>> cells(to - from);
            results.reset();
            results.bind(1, shop);
            results.bind(2, items[from]);
            results.bind(3, items[to - 1]);
            // A pass's results come in item order, as the span's items do: one cursor a pass finds each row's
            // item, without a look-up.
            std::int64_t passId = 0;
            std::unordered_map<std::int64_t, std::uint32_t>::const_iterator place = placeOf.end();
            std::size_t cursor = from;
            while (results.executeStep()) {
                if (const std::int64_t id = results.getColumn(0).getInt64(); place == placeOf.end() || id != passId) {
                    passId = id;
                    place = placeOf.find(id);
                    cursor = from;
                }
                const char* item = results.getColumn(1).getText();
                while (cursor < to && std::strcmp(items[cursor].c_str(), item) < 0)
                    ++cursor;
                if (place == placeOf.end() || cursor == to || items[cursor] != item)
                    continue;
                cells[cursor - from].push_back({place->second, static_cast<std::uint8_t>(StateOf(results.getColumn(2))),
                                                static_cast<std::uint8_t>(results.getColumn(4).getInt()),
                                                static_cast<std::uint16_t>(results.getColumn(3).getInt())});
            }
            for (std::size_t k = 0; k < cells.size(); ++k) {
                if (cells[k].empty())
                    continue;
                std::sort(cells[k].begin(), cells[k].end(), [](const Cell& a, const Cell& b) { return a.pass < b.pass; });
                ItemTimeline timeline;
                for (const Cell& cell : cells[k]) {
                    const PassOfShop& pass = passes[cell.pass];
                    if (pass.sort < 0)
                        continue;
                    TimelinePoint point;
                    point.passId = pass.id;
                    point.started = pass.started;
                    point.state = static_cast<base::ItemState>(cell.state);
                    point.page = cell.page;
                    point.slice = cell.slice;
                    point.passStopped = pass.stopped;
                    point.passFailed = pass.failed;
                    timeline.sorts[static_cast<std::size_t>(pass.sort)].push_back(std::move(point));
                }
                std::vector<Cell>().swap(cells[k]);
                if (!sink(items[from + k], timeline))
                    return;
            }
        }
    });
}

} // namespace rankmoth::history::sqlite
