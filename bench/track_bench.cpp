// rankmoth-cli track against rankmoth-sim answering every request 20 ms late: a watch of 50 shops x 300 items
// over one listing of 20 pages, beside its baselines in the same run:
// - requests: the walk's requests over those of one shop's query of the same listing (target 1.00);
// - wall time over the network floor, every request x 20 ms (target 1.15 at most);
// - CPU time over wall time (target 0.10 at most) and peak RSS (target under 100 MB).
#include "tests/cli/child_process.h"

#include <benchmark/benchmark.h>

namespace {

using rankmoth::testing::ChildProcess;
using rankmoth::testing::LoggedSim;

constexpr int kShops = 50;
constexpr int kItemsPerShop = 300;
constexpr int kPages = 20;
constexpr auto kLatency = std::chrono::milliseconds(20);

struct BenchFiles {
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("rankmoth-track-bench-" + std::to_string(::getpid()));
    const std::string catalogue = (folder / "market.catalogue").string();
    const std::string watch = (folder / "watch.toml").string();
    BenchFiles() {
        std::filesystem::create_directories(folder);
        std::ofstream out(catalogue);
        std::ofstream toml(watch);
        // A listing longer than the page limit, so that the walk stops at the limit and not at the listing's end.
        out << "pages " << kPages + 5 << "\n";
        for (int s = 1; s <= kShops; ++s) {
            out << "shop s" << s << " 20\n";
            toml << "[[shop]]\nid = \"s" << s << "\"\nrole = \"" << (s == 1 ? "own" : "competitor") << "\"\n";
            for (int i = 1; i <= kItemsPerShop; ++i) {
                const int id = s * 100000 + i;
                out << "item s" << s << " " << id << " 店" << s << " 长测款 第" << i << "号\n";
                if (id % 37 == 0)
                    out << "place clothing pop " << 1 + id % kPages << " " << 1 + id % 10 << " " << id << "\n";
            }
        }
        toml << "[[walk]]\ncategory = \"clothing\"\nsorts = [\"pop\"]\npages = " << kPages
             << "\n[run]\ndelay_ms = 0\n";
    }
    ~BenchFiles() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::size_t WalkRequests(const std::string& log) {
    return Count(log, "market: GET /book/") + Count(log, "market: POST /book/ajax");
}

void BM_TrackFiftyShopsAgainstOneQuery(benchmark::State& state) {
    const BenchFiles files;
    const std::string cli = ChildProcess::Built("cli/rankmoth-cli");
    for (auto _ : state) {
        LoggedSim sim({"--catalogue=" + files.catalogue, "--latency-ms=" + std::to_string(kLatency.count())});
        if (!sim.running() || cli.empty()) {
            state.SkipWithError("rankmoth-sim or rankmoth-cli is not built");
            return;
        }
        const std::vector<std::string> hosts = {"--market-host", sim.HostPort(), "--shop-base", sim.ShopBase()};
        std::vector<std::string> args = hosts;
        args.insert(args.end(), {"track", "--watch", files.watch, "--format", "csv", "--no-history"});
        const auto start = std::chrono::steady_clock::now();
        ChildProcess track(cli, args);
        const auto exit = track.Wait(std::chrono::minutes(10));
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (exit != 0) {
            state.SkipWithError(("rankmoth-cli track failed: " + track.Err()).c_str());
            return;
        }
        const std::string trackLog = sim.Log();

        args = hosts;
        args.insert(args.end(), {"query", "--shop", "s1", "--pages", std::to_string(kPages), "--delay", "0",
                                 "--format", "csv", "--no-history"});
        ChildProcess query(cli, args);
        if (query.Wait(std::chrono::minutes(5)) != 0) {
            state.SkipWithError(("rankmoth-cli query failed: " + query.Err()).c_str());
            return;
        }
        const std::string queryLog = sim.Log().substr(trackLog.size());

        const double requests = static_cast<double>(Count(trackLog, "market: "));
        const double floor = requests * std::chrono::duration<double>(kLatency).count();
        state.counters["requests"] = requests;
        state.counters["walk_over_query"] =
            static_cast<double>(WalkRequests(trackLog)) / static_cast<double>(WalkRequests(queryLog));
        state.counters["track_s"] = wall;
        state.counters["floor_s"] = floor;
        state.counters["track_over_floor"] = wall / floor;
        state.counters["cpu_over_wall"] = track.cpuSeconds() / wall;
        state.counters["peak_rss_mb"] = static_cast<double>(track.maxRssKb()) / 1024.0;
        const std::string csv = track.Out();
        state.counters["rows"] = static_cast<double>(std::count(csv.begin(), csv.end(), '\n') - 1);
    }
}
BENCHMARK(BM_TrackFiftyShopsAgainstOneQuery)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
