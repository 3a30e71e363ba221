// The update download over loopback beside curl fetching the same 64 MiB archive from the same server.
// Prints both throughputs and their ratio (the download should reach at least 0.8 of curl's).
#include "tools/sim/update_archive_server.h"
#include "update/http_download.h"
#include "web/socket_client.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <algorithm>
#include <map>
#include <vector>
#include <string>

namespace {

constexpr std::size_t kArchiveBytes = 64u << 20;

std::string ArchiveBytes() {
    std::string bytes(kArchiveBytes, '\0');
    std::uint32_t x = 12345;
    for (auto& b : bytes) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<char>(x >> 24);
    }
    return bytes;
}

struct Setup {
    rankmoth::sim::ArchiveServer server{{ArchiveBytes()}};
    std::string dir;
    std::string url;
    Setup() {
        server.Start();
        dir = (std::filesystem::temp_directory_path() / "rankmoth-download-bench").string();
        std::filesystem::create_directories(dir);
        url = "http://127.0.0.1:" + std::to_string(server.port()) + "/v2/zujian/m_update.zip";
    }
    ~Setup() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

Setup& Shared() {
    static Setup setup;
    return setup;
}

// Rates of every repetition, per contender; the machine is shared, so the medians are compared.
std::map<std::string, std::vector<double>> g_bytesPerSecond;

void Record(benchmark::State& state, const char* name, double seconds) {
    g_bytesPerSecond[name].push_back(static_cast<double>(kArchiveBytes) * static_cast<double>(state.iterations()) /
                                     seconds);
    state.SetBytesProcessed(static_cast<std::int64_t>(kArchiveBytes) * state.iterations());
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void BM_HttpDownload(benchmark::State& state) {
    Setup& s = Shared();
    const std::string path = s.dir + "/m_update.zip";
    double seconds = 0;
    for (auto _ : state) {
        std::filesystem::remove(path);
        rankmoth::web::SocketClient socket;
        std::atomic<std::uint32_t> total{0};
        std::atomic<std::uint32_t> downloaded{0};
        const auto start = std::chrono::steady_clock::now();
        const int result = rankmoth::update::HttpDownload(socket, rankmoth::Text(s.url), path, total, downloaded);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (result != 0 || std::filesystem::file_size(path) != kArchiveBytes) {
            state.SkipWithError("download failed");
            return;
        }
    }
    Record(state, "HttpDownload", seconds);
}

void BM_CurlDownload(benchmark::State& state) {
    Setup& s = Shared();
    const std::string path = s.dir + "/curl.zip";
    const std::string command = "curl -s -o '" + path + "' '" + s.url + "'";
    double seconds = 0;
    for (auto _ : state) {
        std::filesystem::remove(path);
        const auto start = std::chrono::steady_clock::now();
        const int rc = std::system(command.c_str());
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::error_code ec;
        if (rc != 0 || std::filesystem::file_size(path, ec) != kArchiveBytes) {
            state.SkipWithError("curl failed or is missing");
            return;
        }
    }
    Record(state, "curl", seconds);
}

BENCHMARK(BM_HttpDownload)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4)->Repetitions(5);
BENCHMARK(BM_CurlDownload)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(4)->Repetitions(5);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const double ours = Median(g_bytesPerSecond["HttpDownload"]);
    const double curl = Median(g_bytesPerSecond["curl"]);
    if (ours > 0 && curl > 0) {
        // Transfer time only: the file removal between runs is left out, unlike the table's bytes_per_second.
        std::printf("median of %zu runs: HttpDownload %.1f MB/s, curl %.1f MB/s, ratio %.2f (target >= 0.80)\n",
                    g_bytesPerSecond["curl"].size(), ours / 1e6, curl / 1e6, ours / curl);
    }
    return 0;
}
