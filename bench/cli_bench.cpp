// rankmoth-cli against rankmoth-sim answering every request 20 ms late: one pass of 300 items over 20 pages.
// The CLI's wall time is reported beside the floor (requests x 20 ms, the time the answers alone take) and
// beside the time the window's presenter spends on the same pass at its default pacing (a 0.1 s pause
// after every item check of every slice: K x 10 x P x 0.1 s, plus the walk's share of the floor).
// Target: the CLI within 1.25 x the floor.
#include "tests/cli/child_process.h"

#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

using rankmoth::testing::ChildProcess;
using rankmoth::testing::LoggedSim;

constexpr int kItems = 300;
constexpr int kPages = 20;
constexpr auto kLatency = std::chrono::milliseconds(20);
constexpr auto kWindowItemPause = std::chrono::milliseconds(100);

std::string WriteCatalogue() {
    const auto path = std::filesystem::temp_directory_path() / ("rankmoth-cli-bench-" + std::to_string(::getpid()));
    std::ofstream out(path);
    // A listing longer than the page limit, so that the walk stops at the limit and not at the listing's end.
    out << "pages " << kPages + 5 << "\nshop bench 15\n";
    for (int i = 1; i <= kItems; ++i) {
        out << "item bench " << 70000000 + i << " 长测款 第" << i << "号\n";
        if (i % 7 == 0)
            out << "place clothing pop " << 1 + i % kPages << " " << 1 + i % 10 << " " << 70000000 + i << "\n";
    }
    return path.string();
}

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// The passes are recorded, as a user's would be (the recording is part of the pass's cost), but into a
// file of the bench's own, removed however the bench ends: the user's history must not collect a bench shop.
struct BenchHistory {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("rankmoth-cli-bench-" + std::to_string(::getpid()) + ".sqlite"))
            .string();
    ~BenchHistory() {
        std::error_code ec;
        for (const char* suffix : {"", "-journal", "-wal", "-shm"})
            std::filesystem::remove(path + suffix, ec);
    }
};

void BM_CliPassAgainstSlowSim(benchmark::State& state) {
    const std::string catalogue = WriteCatalogue();
    const BenchHistory history;
    const std::string cli = ChildProcess::Built("cli/rankmoth-cli");
    for (auto _ : state) {
        state.PauseTiming();
        LoggedSim sim({"--catalogue=" + catalogue, "--latency-ms=" + std::to_string(kLatency.count())});
        if (!sim.running() || cli.empty()) {
            state.SkipWithError("rankmoth-sim or rankmoth-cli is not built");
            return;
        }
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        ChildProcess run(cli, {"--market-host", sim.HostPort(), "--shop-base", sim.ShopBase(), "query", "--shop",
                               "bench", "--pages", std::to_string(kPages), "--delay", "0", "--format", "csv",
                               "--history", history.path});
        const auto exit = run.Wait(std::chrono::minutes(5));
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.PauseTiming();
        if (exit != 0) {
            state.SkipWithError(("rankmoth-cli failed: " + run.Err()).c_str());
            return;
        }
        const std::string log = sim.Log();
        const double requests = static_cast<double>(Count(log, "market: "));
        const double walkRequests =
            static_cast<double>(Count(log, "market: GET /book/") + Count(log, "market: POST /book/ajax"));
        const double floor = requests * std::chrono::duration<double>(kLatency).count();
        const double window = kItems * 10.0 * kPages * std::chrono::duration<double>(kWindowItemPause).count() +
                              walkRequests * std::chrono::duration<double>(kLatency).count();
        state.counters["requests"] = requests;
        state.counters["cli_s"] = wall;
        state.counters["floor_s"] = floor;
        state.counters["cli_over_floor"] = wall / floor;
        state.counters["window_s"] = window;
        const std::string csv = run.Out();
        state.counters["rows"] = static_cast<double>(std::count(csv.begin(), csv.end(), '\n') - 1);
        state.ResumeTiming();
    }
    std::filesystem::remove(catalogue);
}
BENCHMARK(BM_CliPassAgainstSlowSim)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
