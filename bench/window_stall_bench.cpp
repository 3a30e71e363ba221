// How long the window thread goes without dispatching its events while the window's query runs a pass
// against rankmoth-sim, at the window's own pacing (0.1 s per item check). A 1 ms timer measures it: each
// timeout's lateness is the gap since the one before, less the interval. Beside it, the same timer on an
// event loop with nothing to do, which is the floor this machine and its timers allow. Target: the pass's
// longest stall under 16 ms (one frame).
#include "app/qt/application.h"
#include "base/endpoints.h"
#include "tests/rank/sim_process.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <vector>

using namespace rankmoth;

namespace {

using Steady = std::chrono::steady_clock;

constexpr int kPages = 3;
constexpr int kItems = 4;

class StallProbe {
public:
    StallProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto now = Steady::now();
            gaps_.push_back(std::chrono::duration<double, std::milli>(now - last_).count());
            last_ = now;
        });
    }
    void Start() {
        gaps_.clear();
        last_ = Steady::now();
        timer_.start();
    }
    void Stop() { timer_.stop(); }

    void Report(benchmark::State& state) {
        std::vector<double> gaps = gaps_;
        std::sort(gaps.begin(), gaps.end());
        const auto late = [](double gap) { return std::max(0.0, gap - 1.0); };
        state.counters["max_stall_ms"] = gaps.empty() ? 0 : late(gaps.back());
        state.counters["p99_stall_ms"] = gaps.empty() ? 0 : late(gaps[gaps.size() * 99 / 100]);
        state.counters["ticks"] = static_cast<double>(gaps.size());
        state.counters["over_16ms"] =
            static_cast<double>(gaps.end() - std::upper_bound(gaps.begin(), gaps.end(), 17.0));
    }

private:
    QTimer timer_;
    Steady::time_point last_;
    std::vector<double> gaps_;
};

bool RunUntil(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

// The program's windows in-process against a small catalogue: one shop of four items placed over three
// listing pages.
struct Rig {
    QTemporaryDir dir;
    std::unique_ptr<testing::SimProcess> sim;
    std::unique_ptr<shell::Application> app;
    bool ready = false;

    template <class W> W* Main(const char* name) {
        return app->mainWindow()->findChild<W*>(QString::fromUtf8(name));
    }

    Rig() {
        const std::string catalogue = (dir.path() + "/bench.catalogue").toStdString();
        std::ofstream(catalogue) << "pages " << kPages << "\nshop bench 10\n"
                                 << "item bench 7001 复古碎花连衣裙 款号01\nplace clothing pop 1 2 7001\n"
                                 << "item bench 7002 法式衬衫 款号02\nplace clothing pop 2 5 7002\n"
                                 << "item bench 7003 宽松卫衣 款号03\nplace clothing pop 3 9 7003\n"
                                 << "item bench 7004 修身牛仔裤 款号04\n";
        sim = std::make_unique<testing::SimProcess>(std::vector<std::string>{"--catalogue=" + catalogue});
        if (!sim->running())
            return;
        QDir::setCurrent(dir.path());
        qputenv("RANKMOTH_MARKET_HOST", QByteArray::fromStdString(sim->HostPort()));
        qputenv("RANKMOTH_SHOP_BASE", QByteArray::fromStdString(sim->ShopBase()));
        qputenv("RANKMOTH_VERSION_NOTICE_URL", "");
        qputenv("RANKMOTH_START_TAB_NOTICE_URL", "");
        shell::Application::Options options;
        options.configFile = (dir.path() + "/config.ini").toStdString();
        options.skinDirectory = dir.path();
        options.trayAvailable = false;
        options.historyFile = (dir.path() + "/history.sqlite").toStdString();
        app = std::make_unique<shell::Application>(options);
        app->messageBox = [](const QString&, int, const QString&) { return base::kButtonOk; };
        app->openAddress = [](const std::string&) {};
        app->endProgram = [](int) {};
        app->Start();
        if (!RunUntil([this] { return app->mainWindow() && app->mainWindow()->isVisible() && app->startupFinished(); },
                      30000))
            return;
        Main<QLineEdit>("编辑框_优店ID")->setText("bench");
        Main<QAbstractButton>("按钮_自动加载全店宝贝ID")->click();
        ready = RunUntil([this] { return Main<QLabel>("标签_宝贝ID个数")->text() == QString::number(kItems); }, 30000);
    }
};

Rig* TheRig = nullptr;

void BM_IdleEventLoop(benchmark::State& state) {
    StallProbe probe;
    for (auto _ : state) {
        probe.Start();
        QEventLoop loop;
        QTimer::singleShot(3000, &loop, &QEventLoop::quit);
        loop.exec();
        probe.Stop();
    }
    probe.Report(state);
}
BENCHMARK(BM_IdleEventLoop)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WindowPassStall(benchmark::State& state) {
    if (!TheRig || !TheRig->ready) {
        state.SkipWithError("rankmoth-sim is not built or the window did not come up");
        return;
    }
    StallProbe probe;
    for (auto _ : state) {
        TheRig->Main<QLineEdit>("编辑框_最多页")->setText(QString::number(kPages));
        probe.Start();
        QEventLoop loop;
        // The click's action, run from the event loop as a click would be: it returns when the pass ends.
        QTimer::singleShot(0, &loop, [&loop] {
            TheRig->Main<QAbstractButton>("按钮_查询大类排名")->click();
            loop.quit();
        });
        loop.exec();
        probe.Stop();
    }
    probe.Report(state);
    state.counters["rows"] = TheRig->app->controls().RowCount(base::kMainWindow, "超级列表框1");
}
BENCHMARK(BM_WindowPassStall)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qapp(argc, argv);
    benchmark::Initialize(&argc, argv);
    Rig rig;
    TheRig = &rig;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TheRig = nullptr;
    return 0;
}
