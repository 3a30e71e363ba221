// Opening the history page as the window does, on a shop with 5,000 items and 2,000 passes (target under 1 s):
// the store opened, the item table, the cross-sort view, and the first item's timeline and chart filled.
//
// It reads the database history_bench generates in this folder (history-bench-5000x2000.sqlite, shop 8001);
// run history_bench once first, or name another file in RANKMOTH_BENCH_HISTORY.
#include "app/qt/history_controller.h"
#include "app/qt/history_page.h"

#include <QApplication>
#include <QSortFilterProxyModel>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace rankmoth;

std::string DatabasePath() {
    if (const char* path = std::getenv("RANKMOTH_BENCH_HISTORY"); path && *path)
        return path;
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ((ec ? std::filesystem::current_path() : exe.parent_path()) / "history-bench-5000x2000.sqlite").string();
}

void BM_OpenHistoryPageWidgets(benchmark::State& state) {
    const std::string path = DatabasePath();
    if (!std::filesystem::exists(path)) {
        state.SkipWithError("no database: run history_bench first, or set RANKMOTH_BENCH_HISTORY");
        return;
    }
    int rows = 0;
    for (auto _ : state) {
        std::string failure;
        shell::HistoryController controller(path, {{}, [&](const QString& text) { failure = text.toStdString(); }});
        shell::HistoryPage page(controller, [] { return std::string("8001"); });
        page.resize(564, 508);
        page.Refresh();
        rows = page.itemProxy()->rowCount();
        if (!failure.empty() || rows == 0) {
            state.SkipWithError(failure.empty() ? "the shop has no items" : failure.c_str());
            return;
        }
    }
    state.counters["items"] = rows;
}
BENCHMARK(BM_OpenHistoryPageWidgets)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
