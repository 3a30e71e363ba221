// A history file copied into a shared database reads the same there, and copying it again copies nothing.
#include "history/history_store.h"
#include "history/migrate.h"

#include "history_fixture.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace rankmoth::history {
namespace {

using base::ItemState;
using namespace testing::history_cases;

// Everything a reader sees of a shop, as one text: passes (without the ids each engine numbers), every export
// row, and the item table.
std::string Seen(Store& store, const std::string& shop) {
    std::ostringstream out;
    for (const PassRow& p : store.Passes({shop, "", "", ""}).value_or({}))
        out << p.category << p.subCategory << p.sort << p.started << p.finished << p.pagesWalked << p.requests
            << p.failedRequests << p.stopped << p.items << p.found << p.walkId << "\n";
    const auto exported = store.ForEachExportRow(shop, "", [&out](const ExportRow& r) {
        out << r.itemId << r.title << int(r.state) << r.page << r.slice << r.hits << r.checkedAt << r.pass.started
            << "\n";
        return true;
    });
    EXPECT_TRUE(exported) << exported.error();
    for (const ItemSummary& s : store.ItemSummaries(shop).value_or({})) {
        out << s.itemId << s.title << s.bestPosition << s.lastChecked;
        for (const SortStanding& sort : s.sorts)
            out << "|" << sort.checked << int(sort.state) << sort.position() << sort.hasChange << sort.change
                << sort.bestPosition << sort.checkedAt;
        out << "\n";
    }
    for (const ItemSighting& gone : store.RetiredItems(shop).value_or({}))
        out << gone.itemId << gone.firstSeen << gone.lastSeen << "\n";
    return out.str();
}

TEST(HistoryMigration, CopiesAFileSoItReadsTheSameAndOnlyOnce) {
    std::string url;
    RANKMOTH_FRESH_DATABASE_OR_SKIP(url);
    const testing::HistoryPlace file(Backend::Sqlite);
    std::mt19937 random(20261209);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    {
        auto store = Opened(file.location());
        ASSERT_TRUE(store);
        ASSERT_TRUE(store->RecordFeed({"8001", testing::At(0), {{"100", "衬衫"}, {"105", "旧款"}}, 2}).ok());
        const char* const sorts[] = {"pop", "hot30day", "new"};
        // More passes than one transaction takes.
        for (int p = 0; p < 1100; ++p) {
            std::vector<base::ItemResult> items;
            for (int i = pick(3); i >= 0; --i) {
                const std::string id = std::to_string(100 + pick(4));
                items.push_back(pick(3) ? Found(id.c_str(), 1 + pick(10), 1 + pick(10), "衬衫")
                                        : Missing(id.c_str(), pick(2) ? ItemState::NotFound : ItemState::Incomplete));
            }
            base::PassOutcome pass = Pass(sorts[pick(3)], p, std::move(items), pick(4) ? "8001" : "9009");
            pass.stopped = pick(20) == 0;
            ASSERT_GT(Record(*store, pass), 0);
        }
        ASSERT_TRUE(store->RecordFeed({"8001", testing::At(2000), {{"100", "衬衫 新款"}}, 1}).ok());
        RunRow run;
        run.started = "2025-12-02T00:00:00Z";
        run.finished = "2025-12-02T00:05:00Z";
        run.watch = "w.toml";
        ASSERT_TRUE(store->RecordRun(run).ok());
    }

    const auto first = MigrateToDatabase(file.location(), url);
    ASSERT_TRUE(first) << first.error();
    EXPECT_EQ(first.value().copied, 1100);
    const auto again = MigrateToDatabase(file.location(), url);
    ASSERT_TRUE(again) << again.error();
    EXPECT_EQ(std::tuple(again.value().copied, again.value().alreadyThere), std::tuple(0, 1100));

    auto sqlite = Opened(file.location(), Access::ReadOnly);
    auto pg = Opened(url, Access::ReadOnly);
    ASSERT_TRUE(sqlite && pg);
    for (const char* shop : {"8001", "9009"})
        EXPECT_EQ(Seen(*pg, shop), Seen(*sqlite, shop)) << shop;
    EXPECT_EQ(pg->Shops().value_or({}), sqlite->Shops().value_or({}));
    EXPECT_EQ(pg->LatestRun().value_or(std::nullopt).value_or(RunRow{}).watch, "w.toml");
    pqxx::connection db(url);
    EXPECT_EQ(pqxx::nontransaction(db).exec("SELECT count(*) FROM runs")[0][0].as<int>(), 1);
    // The planner has the copy's statistics at once, not when autovacuum next comes round.
    EXPECT_EQ(pqxx::nontransaction(db)
                  .exec("SELECT count(*) FROM pg_stat_user_tables WHERE relname IN ('passes', 'results') AND "
                        "last_analyze IS NOT NULL")[0][0]
                  .as<int>(),
              2);
}

} // namespace
} // namespace rankmoth::history
