// Renders both windows to PNG files, for looking at the layout without clicking through the program:
//   rankmoth-shots <output directory>
#include "app/qt/application.h"
#include "app/qt/history_page.h"
#include "app/qt/window_design.h"
#include "app/qt/windows.h"
#include "history/history_store.h"
#include "rank/rank_query.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QToolTip>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

namespace {
using namespace rankmoth;

// Found at `position` (1 is page 1, slice 1), as the seeded passes place their items.
void PlaceAt(base::ItemResult& item, int position) {
    item.state = base::ItemState::Found;
    item.page = (position - 1) / 10 + 1;
    item.slice = (position - 1) % 10 + 1;
    item.hits = 1;
}

// A few rounds of the three sorts for a dozen items of the demo shop, with a failed pop pass and a night
// without passes, so the history page has every kind of cell to show.
bool SeedDemoHistory(const std::string& path) {
    static const char* const kStyles[] = {"碎花", "复古", "简约", "宽松", "修身", "法式", "森系", "韩版", "学院风"};
    static const char* const kKinds[] = {"连衣裙", "衬衫", "针织开衫", "半身裙", "卫衣", "牛仔裤", "风衣", "毛衣"};
    auto store = history::OpenStore(path, history::Access::ReadWrite);
    if (!store)
        return false;
    const auto start = base::Clock::now() - std::chrono::hours(30);
    for (int round = 0; round < 9; ++round) {
        // Hourly rounds, with the night between the fifth and the sixth.
        const auto roundStart = start + std::chrono::hours(round + (round >= 5 ? 12 : 0));
        for (int s = 0; s < history::kSortCount; ++s) {
            base::PassOutcome pass;
            pass.request = {Text("demo"), "clothing", Text(), std::string(base::kSortTable[s].key), 20};
            pass.started = roundStart + std::chrono::minutes(4 * s);
            pass.finished = pass.started + std::chrono::minutes(3);
            pass.pagesWalked = 20;
            pass.requests = 80;
            const bool failed = s == 0 && round == 6;
            if (failed)
                pass.failedRequests = 5;
            for (int k = 1; k <= 12; ++k) {
                base::ItemResult item;
                item.itemId = Text(std::to_string(52000100 + k));
                item.title = Text::FromUtf8(std::string(kStyles[k % 9]) + kKinds[k % 8] + " 款号" +
                                            (k < 10 ? "0" : "") + std::to_string(k));
                // A steady drift per item and sort, so rows move without looking random.
                const int position = 1 + (k * 7 + s * 13 + round * ((k + s) % 3 == 0 ? -2 : 3) + 40) % 120;
                const bool missed = (k + s) % 5 == 0 && round % 4 == 3;
                if (failed && k % 3 != 0) {
                    item.state = base::ItemState::Incomplete;
                } else if (missed || position > 110) {
                    item.state = base::ItemState::NotFound;
                } else {
                    PlaceAt(item, position);
                }
                item.checkedAt = pass.finished;
                pass.items.push_back(item);
            }
            if (!store.value()->RecordPass(pass))
                return false;
        }
    }
    return true;
}
// A watch of the demo shop and two others over the last ten hours, walking two listings each hour, so the
// comparison tab has lines that cross. Recorded beside the running program, as a watch run would.
bool SeedDemoWatch(const std::string& path) {
    auto store = history::OpenStore(path, history::Access::ReadWrite);
    if (!store)
        return false;
    const char* const shops[] = {"demo", "rival", "outlet"};
    const auto start = base::Clock::now() - std::chrono::hours(10);
    for (int walk = 0; walk < 10; ++walk) {
        for (int s = 0; s < 2; ++s) {
            const auto started = start + std::chrono::hours(walk) + std::chrono::minutes(5 * s);
            for (int shop = 0; shop < 3; ++shop) {
                base::PassOutcome pass;
                pass.request = {Text(shops[shop]), "clothing", Text(), std::string(base::kSortTable[s].key), 20};
                pass.started = started;
                pass.finished = started + std::chrono::minutes(3);
                pass.pagesWalked = 20;
                pass.requests = 80;
                pass.walkId = "shots-" + std::to_string(walk) + "-" + std::to_string(s);
                for (int k = 1; k <= 6; ++k) {
                    base::ItemResult item;
                    item.itemId = Text(std::to_string(52000100 + 1000 * shop + k));
                    // Each shop drifts at a pace of its own, so the lines cross.
                    const int drift = shop == 0 ? -4 * walk : shop == 1 ? 3 * walk : (walk % 3) * 2;
                    const int position = 1 + (k * 17 + shop * 11 + s * 7 + 60 + drift) % 180;
                    if (position > 150) {
                        item.state = base::ItemState::NotFound;
                    } else {
                        PlaceAt(item, position);
                    }
                    item.checkedAt = pass.finished;
                    pass.items.push_back(item);
                }
                if (!store.value()->RecordPass(pass))
                    return false;
            }
        }
    }
    return true;
}

// A listing in memory for the window's own pass: page 1 of every sort, two of the three items placed on it.
rank::ListingTransport DemoListing() {
    auto slice = std::make_shared<int>(0);
    const auto get = [slice](Text&) -> Bytes {
        *slice = 0;
        return std::string("<script>var c = {book:\"clothing:pop\",lastTweetId:\"p1-0\",totalCnt:\"4000\",") +
               "action:\"pop\"};</script><script>var s = {\"lastTweetId\":null};</script>";
    };
    const auto post = [slice](Text&, const Text&) -> Bytes {
        const int k = ++*slice;
        const std::string titles = k == 2   ? ("复古连衣裙 款号02"_gbk).bytes()
                                   : k == 7 ? ("简约衬衫 款号05"_gbk).bytes()
                                            : "";
        return "{\"status\":1,\"data\":{\"lastTweetId\":\"p1-" + std::to_string(k) + "\"},\"html\":\"<p>" + titles +
               "<\\/p>\"}";
    };
    return rank::ListingTransport::OfBodies(get, post);
}

// A marketplace that refuses every connection.
rank::ListingTransport DeadListing() {
    const auto refused = [] { return web::Answer::Failed(base::FailureKind::Refused, "connection refused"); };
    rank::ListingTransport t;
    t.get = [refused](Text&, const rank::StopCheck&) { return refused(); };
    t.post = [refused](Text&, const Text&, const rank::StopCheck&) { return refused(); };
    return t;
}
} // namespace

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("out/screenshots");
    QDir().mkpath(outDir);

    rankmoth::shell::Application::Options options;
    options.bindCore = false;
    options.configFile = QDir(outDir).filePath("shots-config.ini").toStdString();
    options.skinDirectory = outDir;
    const QString historyFile = QDir(outDir).filePath("shots-history.sqlite");
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(historyFile + suffix);
    options.historyFile = historyFile.toStdString();
    if (!SeedDemoHistory(*options.historyFile))
        std::fprintf(stderr, "rankmoth-shots: could not seed the history\n");
    rankmoth::shell::Application program(options);
    program.endProgram = [](int) {};
    program.Start();

    QElapsedTimer waited;
    waited.start();
    while (!(program.mainWindow() && program.startupFinished()) && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    // Let the queued control writes of the start-up land and the windows paint.
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    auto& controls = program.controls();
    using namespace rankmoth;
    const int row = controls.AddRow(base::kMainWindow, "超级列表框1", Text("1"));
    controls.SetCellText(base::kMainWindow, "超级列表框1", row, 1, Text("2046****"));
    controls.SetCellText(base::kMainWindow, "超级列表框1", row, 2, "在第3页靠上的位置发现了此宝贝"_gbk);
    controls.SetCellText(base::kMainWindow, "超级列表框1", row, 3, "最热"_gbk);
    controls.SetCellText(base::kMainWindow, "超级列表框1", row, 4, Text("2026-12-08 09:00:00"));
    controls.SetCellColours(base::kMainWindow, "超级列表框1", row, 3, base::Rgb(255, 255, 255), base::Rgb(255, 0, 0));
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    int failures = 0;
    const auto save = [&](QWidget* window, const char* file) {
        if (!window || !window->grab().save(QDir(outDir).filePath(file))) {
            std::fprintf(stderr, "rankmoth-shots: could not render %s\n", file);
            ++failures;
        }
    };
    save(program.mainWindow(), "main.png");

    // The main tab after a pass of the window's own that ran clean, and after one that no request survived.
    {
        sources::ItemList items;
        items.shopId = Text("demo");
        for (const auto& [id, title] : {std::pair{"52000102", "复古连衣裙 款号02"},
                                        {"52000105", "简约衬衫 款号05"},
                                        {"52000109", "森系风衣 款号09"}}) {
            items.ShopItemIds.push_back(Text(id));
            items.ShopItemTitles.push_back(Text::FromUtf8(title));
        }
        items.ShopItemCount = static_cast<int>(items.ShopItemIds.size());
        controls.SetText(base::kMainWindow, "标签_宝贝ID个数", Text("3"));
        controls.SetText(base::kMainWindow, "编辑框_最多页", Text("1"));
        rank::QueryState state;
        rank::CellColourTable colours;
        const auto passShot = [&](rank::ListingTransport transport, const char* file) {
            rank::RankEnv env{controls,
                              program.pump(),
                              items,
                              state,
                              colours,
                              std::move(transport),
                              "market.invalid",
                              [](std::chrono::milliseconds delay, std::function<void()> action) {
                                  QTimer::singleShot(delay, QCoreApplication::instance(), std::move(action));
                              }};
            env.itemPause = std::chrono::milliseconds(0);
            rank::RankQuery(std::move(env)).RunRankQuery();
            for (int i = 0; i < 10; ++i)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            save(program.mainWindow(), file);
        };
        passShot(DemoListing(), "main-pass-done.png");
        passShot(DeadListing(), "main-pass-failed.png");
        // The same with the state's tip up, as hovering shows it: taken from the screen, where the tip is.
        if (auto* status = dynamic_cast<shell::PartStatusBar*>(
                program.mainWindow()->findChild<QWidget*>(QString::fromUtf8("状态条1")))) {
            QLabel* part = status->part(0);
            QToolTip::showText(part->mapToGlobal(QPoint(8, -40)), part->toolTip(), part, QRect(), 60000);
            for (int i = 0; i < 20; ++i)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            const QRect frame = program.mainWindow()->frameGeometry();
            const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0, frame.x(), frame.y(),
                                                                                frame.width() + 120, frame.height());
            if (!QToolTip::isVisible() || !screen.save(QDir(outDir).filePath("main-pass-failed-tip.png"))) {
                std::fprintf(stderr, "rankmoth-shots: could not render main-pass-failed-tip.png\n");
                ++failures;
            }
            QToolTip::hideText();
        }
    }
    if (program.updateWindow())
        program.updateWindow()->show();
    save(program.updateWindow(), "update.png");
    // The update window as a download shows it.
    controls.SetControlVisible(base::kUpdateWindow, "图片框1", true);
    controls.SetText(base::kUpdateWindow, "标签2", "m_update.zip  (来自 www.pellwood.example)"_gbk);
    controls.SetProgress(base::kUpdateWindow, "进度条1", 42);
    controls.SetText(base::kUpdateWindow, "标签10", "文件大小: 2.31 MB"_gbk);
    controls.SetText(base::kUpdateWindow, "标签11", "已下载: 0.97 MB (用时 3 秒)"_gbk);
    controls.SetText(base::kUpdateWindow, "标签4", "已完成: 42%"_gbk);
    QCoreApplication::processEvents();
    save(program.updateWindow(), "update-download.png");

    controls.SetCurrentTab(base::kMainWindow, "选择夹1", 1);
    QCoreApplication::processEvents();
    save(program.mainWindow(), "main-help.png");

    // The history page of the demo shop, with an item that went through the failed pass selected.
    controls.SetText(base::kMainWindow, "编辑框_优店ID", Text("demo"));
    controls.SetCurrentTab(base::kMainWindow, "选择夹1", 2);
    QCoreApplication::processEvents();
    if (auto* page = program.historyPage()) {
        page->Refresh();
        page->SelectItem("52000104");
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        save(program.mainWindow(), "main-history.png");
        if (auto* views = page->findChild<QTabWidget*>("选择夹_历史视图")) {
            views->setCurrentIndex(1);
            for (int i = 0; i < 10; ++i)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            save(program.mainWindow(), "main-history-chart.png");
            views->setCurrentIndex(2);
            QCoreApplication::processEvents();
            save(program.mainWindow(), "main-history-sorts.png");
            // The comparison before the demo shop was ever watched with others, and after.
            views->setCurrentIndex(3);
            QCoreApplication::processEvents();
            save(program.mainWindow(), "main-history-compare-none.png");
            if (!SeedDemoWatch(*options.historyFile))
                std::fprintf(stderr, "rankmoth-shots: could not seed the watch\n");
            page->Refresh();
            for (int i = 0; i < 10; ++i)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            save(program.mainWindow(), "main-history-compare.png");
            views->setCurrentIndex(1);
        }
        // The page in a window of its own, grown past the main window's size.
        if (QWidget* window = page->OpenInWindow()) {
            window->resize(1000, 700);
            for (int i = 0; i < 20; ++i)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            save(window, "history-window.png");
            window->close();
        }

        // The export dialog as the seller meets it: Qt's own dialog, in the user's language.
        QFileDialog dialog(page, QString::fromUtf8("导出排名历史"),
                           QDir(shell::HistoryPage::ExportFolder()).filePath("rankmoth-demo.csv"),
                           QString::fromUtf8("CSV 文件 (*.csv)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.resize(640, 420);
        dialog.show();
        for (int i = 0; i < 20; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        save(&dialog, "export-dialog.png");
        dialog.close();
    } else {
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
