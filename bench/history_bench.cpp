// The history store's two costs a seller feels. Writing one pass of 300 items when it ends (target under 50 ms),
// beside the floor of a bare sqlite3 insert of the same 300 result rows in one transaction. Opening the history
// page of a shop with 5,000 items and 2,000 passes, 10 million results (target under 1 s), beside the scan that
// the kept standings save: the latest result per item and sort read from the results themselves.
//
// The large database is generated once into the build folder (history-bench-5000x2000.sqlite) and reused; delete
// it to generate it again.
#include "bench/history_data.h"
#include "history/history_report.h"
#include "history/history_store.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

using namespace rankmoth;

constexpr int kItems = 5000;
constexpr int kPasses = 2000;
constexpr const char* kShop = "8001";

using bench::BuildFolder;

std::string ItemId(int k) {
    return std::to_string(600000000000LL + k);
}

base::PassOutcome PassOf300(int n) {
    base::PassOutcome pass;
    pass.request.shop = Text(kShop);
    pass.request.category = "clothing";
    pass.request.sort = "pop";
    pass.request.pageLimit = 10;
    pass.started = base::Clock::from_time_t(1764547200) + std::chrono::hours(n);
    pass.finished = pass.started + std::chrono::minutes(4);
    pass.pagesWalked = 10;
    pass.requests = 40;
    for (int k = 0; k < 300; ++k) {
        base::ItemResult item;
        item.itemId = Text(ItemId(k));
        item.title = "碎花连衣裙 2026新款 法式复古 款号"_gbk + TextOfInteger(k);
        const int h = (k * 7919 + n * 104729) % 137;
        item.state = h < 100 ? base::ItemState::Found : base::ItemState::NotFound;
        item.page = h < 100 ? h / 10 + 1 : 0;
        item.slice = h < 100 ? h % 10 + 1 : 0;
        item.hits = h < 100 ? 1 : 0;
        pass.items.push_back(std::move(item));
    }
    return pass;
}

void BM_RecordPass300(benchmark::State& state) {
    const auto path = BuildFolder() / ("history-bench-write-" + std::to_string(::getpid()) + ".sqlite");
    auto opened = history::OpenStore(path.string(), history::Access::ReadWrite);
    if (!opened) {
        state.SkipWithError(opened.error().c_str());
        return;
    }
    std::unique_ptr<history::Store> store = std::move(opened).value();
    std::vector<base::PassOutcome> passes;
    for (int n = 0; n < 64; ++n)
        passes.push_back(PassOf300(n));
    int n = 0;
    for (auto _ : state) {
        base::PassOutcome& pass = passes[n % passes.size()];
        pass.started = base::Clock::from_time_t(1764547200) + std::chrono::hours(n++);
        if (const auto recorded = store->RecordPass(pass); !recorded)
            state.SkipWithError(recorded.error().c_str());
    }
    store.reset();
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(path.string() + suffix);
}
BENCHMARK(BM_RecordPass300)->Unit(benchmark::kMillisecond);

// The floor: the same 300 result rows, one prepared insert each, one transaction, same journal settings.
void BM_BareSqliteInsert300(benchmark::State& state) {
    const auto path = BuildFolder() / ("history-bench-bare-" + std::to_string(::getpid()) + ".sqlite");
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db,
                 "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL; CREATE TABLE results(pass_id INTEGER, "
                 "item_id TEXT, state TEXT, page INTEGER, slice INTEGER, hits INTEGER, checked_at TEXT, "
                 "PRIMARY KEY(pass_id, item_id)) WITHOUT ROWID;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO results VALUES(?, ?, ?, ?, ?, ?, ?)", -1, &insert, nullptr);
    const base::PassOutcome pass = PassOf300(0);
    std::vector<std::string> ids;
    for (const auto& item : pass.items)
        ids.push_back(item.itemId.ToUtf8());
    int n = 0;
    for (auto _ : state) {
        ++n;
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        for (std::size_t k = 0; k < pass.items.size(); ++k) {
            const auto& item = pass.items[k];
            sqlite3_bind_int(insert, 1, n);
            sqlite3_bind_text(insert, 2, ids[k].c_str(), -1, SQLITE_STATIC);
            sqlite3_bind_text(insert, 3, item.state == base::ItemState::Found ? "found" : "not_found", -1,
                              SQLITE_STATIC);
            sqlite3_bind_int(insert, 4, item.page);
            sqlite3_bind_int(insert, 5, item.slice);
            sqlite3_bind_int(insert, 6, item.hits);
            sqlite3_bind_text(insert, 7, "2025-12-01T00:04:00Z", -1, SQLITE_STATIC);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    sqlite3_finalize(insert);
    sqlite3_close(db);
    for (const char* suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(path.string() + suffix);
}
BENCHMARK(BM_BareSqliteInsert300)->Unit(benchmark::kMillisecond);

std::string LargeDatabase() {
    return bench::GeneratedHistory(kItems, kPasses);
}

// What the page does when it opens on a shop: open the file, fill the item table, show the first item's
// timeline, fill the cross-sort view.
void BM_OpenHistoryPage(benchmark::State& state) {
    const std::string path = LargeDatabase();
    if (path.empty()) {
        state.SkipWithError("no database");
        return;
    }
    std::size_t cells = 0;
    for (auto _ : state) {
        auto store = history::OpenStore(path, history::Access::ReadWrite);
        if (!store) {
            state.SkipWithError(store.error().c_str());
            break;
        }
        const auto summaries = store.value()->ItemSummaries(kShop).value_or({});
        const auto timeline =
            store.value()->Timeline(kShop, summaries.empty() ? "" : summaries.front().itemId).value_or({});
        const auto cross = history::CrossSort(summaries);
        cells = timeline.sorts[0].size() + timeline.sorts[1].size() + timeline.sorts[2].size();
        if (summaries.size() != kItems || cross.size() != kItems || cells != kPasses)
            state.SkipWithError("the database does not hold what was generated");
    }
    state.counters["items"] = kItems;
    state.counters["timeline_cells"] = static_cast<double>(cells);
}
BENCHMARK(BM_OpenHistoryPage)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ItemTimeline(benchmark::State& state) {
    const std::string path = LargeDatabase();
    auto opened = path.empty() ? base::Result<std::unique_ptr<history::Store>>(base::Fail("no database"))
                               : history::OpenStore(path, history::Access::ReadWrite);
    if (!opened) {
        state.SkipWithError(opened.error().c_str());
        return;
    }
    history::Store& store = *opened.value();
    int k = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(store.Timeline(kShop, ItemId(k++ % kItems)));
}
BENCHMARK(BM_ItemTimeline)->Unit(benchmark::kMillisecond);

void BM_ExportOneItem(benchmark::State& state) {
    const std::string path = LargeDatabase();
    auto opened = path.empty() ? base::Result<std::unique_ptr<history::Store>>(base::Fail("no database"))
                               : history::OpenStore(path, history::Access::ReadWrite);
    if (!opened) {
        state.SkipWithError(opened.error().c_str());
        return;
    }
    history::Store& store = *opened.value();
    int k = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(store.ForEachExportRow(kShop, ItemId(k++ % kItems), [](const history::ExportRow& row) {
            benchmark::DoNotOptimize(row.page);
            return true;
        }));
}
BENCHMARK(BM_ExportOneItem)->Unit(benchmark::kMillisecond);

// The page's "export the shop": 10 million rows of CSV streamed out, measured once.
void BM_ExportShopCsv(benchmark::State& state) {
    const std::string path = LargeDatabase();
    auto opened = path.empty() ? base::Result<std::unique_ptr<history::Store>>(base::Fail("no database"))
                               : history::OpenStore(path, history::Access::ReadWrite);
    if (!opened) {
        state.SkipWithError(opened.error().c_str());
        return;
    }
    history::Store& store = *opened.value();
    struct Counter : std::streambuf {
        std::size_t bytes = 0;
        int_type overflow(int_type c) override {
            ++bytes;
            return c;
        }
        std::streamsize xsputn(const char*, std::streamsize n) override {
            bytes += static_cast<std::size_t>(n);
            return n;
        }
    } counter;
    std::ostream out(&counter);
    for (auto _ : state)
        if (const auto written = history::WriteExportCsv(store, kShop, "", out, true); !written)
            state.SkipWithError(written.error().c_str());
    state.counters["MiB"] = static_cast<double>(counter.bytes) / (1024 * 1024);
}
BENCHMARK(BM_ExportShopCsv)->Unit(benchmark::kMillisecond)->Iterations(1);

// Without the standings: each item's latest result per sort found among the 10 million results.
void BM_ItemTableFromResultsBaseline(benchmark::State& state) {
    const std::string path = LargeDatabase();
    sqlite3* db = nullptr;
    if (path.empty() || sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        state.SkipWithError("no database");
        return;
    }
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT r.item_id, p.sort, r.state, r.page, r.slice, max(p.started) FROM results r "
                       "JOIN passes p ON p.id = r.pass_id WHERE p.shop = '8001' GROUP BY r.item_id, p.sort",
                       -1, &query, nullptr);
    for (auto _ : state) {
        int rows = 0;
        while (sqlite3_step(query) == SQLITE_ROW)
            ++rows;
        sqlite3_reset(query);
        benchmark::DoNotOptimize(rows);
    }
    sqlite3_finalize(query);
    sqlite3_close(db);
}
BENCHMARK(BM_ItemTableFromResultsBaseline)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
