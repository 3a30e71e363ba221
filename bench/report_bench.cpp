// The shared report of one shop, written as `rankmoth-cli report` writes it, each size beside a bare sqlite3
// read of the same rows (every result of the shop with its pass's sort and start, in item order) in the same
// run. Targets: 300 items x 500 passes in 1 s or less and 5 MB or less; 5,000 items x 2,000 passes in 10 s or
// less with a peak resident size under 200 MB. The large one runs the CLI in a child process, so that the peak
// measured is the report's own and not the generator's.
#include "bench/history_data.h"
#include "history/shared_report.h"
#include "tests/cli/child_process.h"

#include <benchmark/benchmark.h>

namespace {

using namespace rankmoth;

void BareRead(benchmark::State& state, const std::string& path) {
    sqlite3* db = nullptr;
    if (path.empty() || sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        state.SkipWithError("no database");
        return;
    }
    sqlite3_stmt* query = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT r.item_id, r.state, r.page, r.slice, p.sort, p.started FROM results r "
                       "JOIN passes p ON p.id = r.pass_id WHERE p.shop = '8001' ORDER BY r.item_id, p.started",
                       -1, &query, nullptr);
    std::size_t rows = 0;
    for (auto _ : state) {
        rows = 0;
        while (sqlite3_step(query) == SQLITE_ROW) {
            benchmark::DoNotOptimize(sqlite3_column_text(query, 0));
            benchmark::DoNotOptimize(sqlite3_column_int(query, 2));
            ++rows;
        }
        sqlite3_reset(query);
    }
    sqlite3_finalize(query);
    sqlite3_close(db);
    state.counters["rows"] = static_cast<double>(rows);
}

void BM_Report300x500(benchmark::State& state) {
    const std::string path = bench::GeneratedHistory(300, 500);
    auto opened = path.empty() ? base::Result<std::unique_ptr<history::Store>>(base::Fail("no database"))
                               : history::OpenStore(path, history::Access::ReadOnly);
    if (!opened) {
        state.SkipWithError(opened.error().c_str());
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        history::ReportOptions options;
        options.shop = "8001";
        const auto written = history::WriteReport(*opened.value(), options, [&](std::string_view text) {
            bytes += text.size();
            return true;
        });
        if (!written || written.value().items != 300)
            state.SkipWithError("the report did not draw every item");
    }
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_Report300x500)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_BareRead300x500(benchmark::State& state) {
    BareRead(state, bench::GeneratedHistory(300, 500));
}
BENCHMARK(BM_BareRead300x500)->Unit(benchmark::kMillisecond)->MinTime(3.0);

void BM_ReportCli5000x2000(benchmark::State& state) {
    const std::string path = bench::GeneratedHistory(5000, 2000);
    const std::string page = (bench::BuildFolder() / "report-bench.html").string();
    const std::string cli = testing::ChildProcess::Built("cli/rankmoth-cli");
    if (path.empty() || cli.empty()) {
        state.SkipWithError("no database or no rankmoth-cli");
        return;
    }
    long rssKb = 0;
    for (auto _ : state) {
        testing::ChildProcess report(cli, {"report", "--shop", "8001", "--history", path, "--output", page});
        const auto exit = report.Wait(std::chrono::minutes(5));
        if (exit != 0) {
            state.SkipWithError(("report failed: " + report.Err()).c_str());
            break;
        }
        rssKb = report.maxRssKb();
    }
    std::error_code ec;
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(page, ec)) / 1e6;
    state.counters["peak_rss_MB"] = static_cast<double>(rssKb) / 1024;
    std::filesystem::remove(page, ec);
}
BENCHMARK(BM_ReportCli5000x2000)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_BareRead5000x2000(benchmark::State& state) {
    BareRead(state, bench::GeneratedHistory(5000, 2000));
}
BENCHMARK(BM_BareRead5000x2000)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

BENCHMARK_MAIN();
