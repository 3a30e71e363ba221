// The history page over a seeded database: what the table, the timeline, the shop comparison and the export
// show, and how the controller records passes, alerts once per pass and says a broken store once. What the
// timeline and the comparison draw is checked against what the core works out from the same store, as a
// shared report draws it.
// moc stumbles over the C++20 standard headers the store pulls in; it needs none of them.
#ifndef Q_MOC_RUN
#include "app/qt/history_controller.h"
#include "app/qt/history_page.h"
#include "app/qt/shop_compare_view.h"
#include "app/qt/zone_timeline.h"
#include "history/report_model.h"
#include "history/shop_comparison.h"
#include "tests/support/recorded_passes.h"

#include <sqlite3.h>
#endif

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineSeries>
#include <QPointer>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

using namespace rankmoth;
using base::ItemState;
using Col = shell::HistoryPage;

using testing::Found;
using testing::Missing;
using testing::Pass;

namespace {
// Every field the painter reads, one text per cell, so that a difference names its row and cell.
QStringList CellsOf(const std::vector<history::TimelineRow>& rows) {
    QStringList cells;
    for (const history::TimelineRow& row : rows)
        for (const history::TimelineCell& c : row.cells)
            cells << QString::asprintf("%s %s state=%d page=%d zone=%d hatched=%d break=%d", row.sort.c_str(),
                                       c.started.c_str(), int(c.state), c.page, int(c.zone), c.hatched(),
                                       c.breakBefore);
    return cells;
}
} // namespace

class HistoryPageTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QStringList alerts_;
    QStringList statuses_;
    std::unique_ptr<shell::HistoryController> controller_;
    std::unique_ptr<shell::HistoryPage> page_;

    std::unique_ptr<shell::HistoryController> NewController(const QString& file) {
        shell::HistoryController::Services services;
        services.showAlert = [this](const QString& title, const QString& text) { alerts_ << title + "|" + text; };
        services.showStatus = [this](const QString& text) { statuses_ << text; };
        return std::make_unique<shell::HistoryController>(file.toStdString(), std::move(services));
    }

    QString Cell(int proxyRow, int column) const {
        return page_->itemProxy()->index(proxyRow, column).data().toString();
    }
    static void ShowComparison(shell::HistoryPage& page) {
        page.findChild<QTabWidget*>("选择夹_历史视图")->setCurrentWidget(page.comparison());
    }
    int RowOf(const QString& id) const {
        for (int r = 0; r < page_->itemProxy()->rowCount(); ++r)
            if (Cell(r, Col::kId) == id)
                return r;
        return -1;
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        // The user's folders as the desktop names them: the export dialog must open in the documents folder.
        QVERIFY(QDir(dir_.path()).mkpath("文档"));
        QFile dirs(dir_.filePath("user-dirs.dirs"));
        QVERIFY(dirs.open(QIODevice::WriteOnly));
        dirs.write(("XDG_DOCUMENTS_DIR=\"" + dir_.filePath("文档") + "\"\n").toUtf8());
        dirs.close();
        qputenv("XDG_CONFIG_HOME", dir_.path().toUtf8());
        controller_ = NewController(dir_.filePath("history.sqlite"));
        page_ = std::make_unique<shell::HistoryPage>(*controller_, [] { return std::string("8001"); });
        page_->resize(564, 508);

        auto broken = Pass("pop", 20, {Missing("1001", ItemState::Incomplete), Found("1002", 7, 3)});
        broken.failedRequests = 3;
        for (const base::PassOutcome& pass : {
                 Pass("pop", 0, {Found("1001", 2, 2, "连衣裙"), Found("1002", 1, 1, "半身裙")}),
                 Pass("hot30day", 5, {Found("1001", 3, 1), Found("1002", 1, 9)}),
                 Pass("pop", 10, {Found("1001", 1, 5), Found("1002", 7, 1)}),
                 Pass("hot30day", 15, {Found("1001", 1, 10), Found("1002", 1, 9)}),
                 broken,
             })
            controller_->PassFinished(pass);
        page_->show();
        QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
    }

    void tableShowsLatestPlaceChangeAndBest() {
        QCOMPARE(page_->itemProxy()->rowCount(), 2);
        const int a = RowOf("1001");
        QVERIFY(a >= 0);
        QCOMPARE(Cell(a, Col::kTitle), QString("连衣裙"));
        // The failed pass is the latest under pop: unknown, and no move is made of it.
        QCOMPARE(Cell(a, Col::kPop), QString("未查完"));
        QCOMPARE(Cell(a, Col::kPopChange), QString());
        QCOMPARE(Cell(a, Col::kHot), QString("第1页·下"));
        QCOMPARE(Cell(a, Col::kHotChange), QString("↑11"));
        QCOMPARE(Cell(a, Col::kNew), QString());
        QCOMPARE(Cell(a, Col::kBest), QString("第1页·中"));
        const int b = RowOf("1002");
        QCOMPARE(Cell(b, Col::kPop), QString("第7页·上"));
        QCOMPARE(Cell(b, Col::kPopChange), QString("↓2"));

        // Sorting by place puts a place before an unknown; the filter matches titles.
        page_->itemProxy()->sort(Col::kPop, Qt::AscendingOrder);
        QCOMPARE(Cell(0, Col::kId), QString("1002"));
        page_->itemProxy()->setFilterFixedString("连衣");
        QCOMPARE(page_->itemProxy()->rowCount(), 1);
        page_->itemProxy()->setFilterFixedString(QString());
    }

    void timelineHatchesTheFailedPass() {
        page_->SelectItem("1001");
        const auto& rows = page_->timeline()->rows();
        QCOMPARE(rows.size(), std::size_t(3));
        const auto& pop = rows[0].cells;
        QCOMPARE(pop.size(), std::size_t(3));
        QCOMPARE(shell::ZoneTimeline::CellText(pop[0]), QString("2"));
        QCOMPARE(pop[0].zone, base::Zone::Upper);
        QCOMPARE(pop[1].zone, base::Zone::Middle);
        QVERIFY(pop[2].hatched());
        QCOMPARE(shell::ZoneTimeline::CellBrush(pop[2]).style(), Qt::BDiagPattern);
        QCOMPARE(shell::ZoneTimeline::CellText(pop[2]), QString());
        QCOMPARE(rows[1].cells.size(), std::size_t(2));
        QVERIFY(rows[2].cells.empty());
    }

    void crossSortMarksSortsFivePagesApart() {
        // 1002: page 7 under pop, page 1 under hot30day. 1001: its latest pop pass failed, so one page only.
        const QStandardItemModel* cross = page_->crossSortModel();
        QCOMPARE(cross->rowCount(), 2);
        for (int r = 0; r < 2; ++r) {
            const bool apart = cross->index(r, 0).data().toString() == "1002";
            QCOMPARE(!cross->index(r, 5).data().toString().isEmpty(), apart);
        }
    }

    void exportWritesBomHeaderAndRows() {
        const QString file = dir_.filePath("export.csv");
        page_->chooseExportFile = [&](const QString& suggested) {
            [&] { QCOMPARE(suggested, dir_.filePath("文档/rankmoth-8001-1001.csv")); }();
            return file;
        };
        page_->SelectItem("1001");
        QVERIFY(page_->ExportCsv(false));
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QByteArray bytes = csv.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBFitem_id,title,sort,state,page,slice,zone,hits,checked_at,pass_id,"));
        QVERIFY(bytes.contains("\r\n1001,连衣裙,pop,found,2,2,upper,1,"));
        QVERIFY(bytes.contains("\r\n1001,连衣裙,pop,incomplete,,,,0,"));
        QCOMPARE(bytes.count("\r\n"), 1 + 5); // header, three pop and two hot30day passes; nothing of 1002
    }

    void oneAlertPerCleanPassNoneForTheFailedOne() {
        // Pop at 10 (1001 onto page 1, 1002 off it) and hot30day at 15 (1001 onto page 1).
        QCOMPARE(alerts_.size(), 2);
        QVERIFY(alerts_[0].contains("1001") && alerts_[0].contains("1002"));
        QVERIFY(statuses_.isEmpty());
    }

    void deleteAsksFirst() {
        bool asked = false;
        page_->confirm = [&](const QString&) {
            asked = true;
            return false;
        };
        page_->SelectItem("1002");
        QVERIFY(!page_->DeleteSelectedItem());
        QVERIFY(asked);
        QCOMPARE(page_->itemProxy()->rowCount(), 2);
        page_->confirm = [](const QString&) { return true; };
        QVERIFY(page_->DeleteSelectedItem());
        QCOMPARE(page_->itemProxy()->rowCount(), 1);
    }

    void brokenStoreIsSaidOnceAndNothingElseHappens() {
        const QString junk = dir_.filePath("junk.sqlite");
        QFile file(junk);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
        file.close();
        statuses_.clear();
        auto controller = NewController(junk);
        for (int i = 0; i < 3; ++i)
            controller->PassFinished(Pass("pop", 100 + i, {Found("1001", 1, 1)}));
        QCOMPARE(statuses_.size(), 1);
        QVERIFY(statuses_[0].startsWith("排名历史无法保存"));
        QVERIFY(controller->Store() == nullptr);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray(4096, 'x'));
    }

    // One-page passes can place an item on page 1 or miss it: a miss under one sort beside a place under
    // another is what the column has to show there.
    void crossSortMarksAPlaceAgainstAMiss() {
        controller_->PassFinished(Pass("pop", 60, {Found("2001", 1, 3), Found("2002", 7, 1)}));
        controller_->PassFinished(Pass("new", 61, {Missing("2001", ItemState::NotFound), Found("2002", 1, 4)}));
        const auto column = [this] {
            QStringList cells;
            for (int r = 0; r < page_->crossSortModel()->rowCount(); ++r) {
                const QString id = page_->crossSortModel()->index(r, 0).data().toString();
                if (id.startsWith("200"))
                    cells << id + ":" + page_->crossSortModel()->index(r, 5).data().toString();
            }
            cells.sort();
            return cells;
        };
        QCOMPARE(column(), (QStringList{"2001:⚠ 最新未找到", "2002:⚠ 相差6页"}));
        controller_->PassFinished(Pass("hot30day", 62, {Missing("2001", ItemState::NotFound)}));
        QCOMPARE(column().front(), QString("2001:⚠ 最热、最新未找到"));
    }

    // A watch records other shops too: the page lists them, shows the typed shop first, and goes back to it
    // once the seller types a shop again.
    void shopChoiceListsEveryShopAndFollowsTheTypedOne() {
        controller_->PassFinished(Pass("pop", 70, {Found("3001", 2, 1, "对手款")}, "9009"));
        page_->Refresh();
        QComboBox* choice = page_->shopChoice();
        QVERIFY(choice->isVisibleTo(page_.get()));
        QStringList shops;
        for (int i = 0; i < choice->count(); ++i)
            shops << choice->itemText(i);
        QCOMPARE(shops, (QStringList{"8001", "9009"}));
        QCOMPARE(choice->currentText(), QString("8001"));

        choice->setCurrentIndex(choice->findText("9009"));
        QCOMPARE(page_->CurrentShop(), std::string("9009"));
        QCOMPARE(page_->itemProxy()->rowCount(), 1);
        QCOMPARE(Cell(0, Col::kId), QString("3001"));

        page_->hide();
        page_->show();
        QCOMPARE(page_->CurrentShop(), std::string("9009")); // the typed shop did not change
        choice->setCurrentIndex(choice->findText("8001"));
        QCOMPARE(page_->CurrentShop(), std::string("8001"));
        QVERIFY(page_->itemProxy()->rowCount() > 1);
    }

    // A watch's run from the command line leaves its alerts where the window's seller looks.
    void theLastRunsAlertsAreShown() {
        QVERIFY(!page_->runAlerts()->isVisibleTo(page_.get()));
        history::RunRow run;
        run.started = "2026-12-09T06:00:00Z";
        run.finished = "2026-12-09T06:05:00Z";
        run.watch = "watch.toml";
        run.alertText = "晴天 短袖 第1页·上 → 第3页·上\n雨天 风衣 未找到 → 第1页·上";
        QVERIFY(controller_->Store()->RecordRun(run).ok());
        page_->Refresh();
        QVERIFY(page_->runAlerts()->isVisibleTo(page_.get()));
        QVERIFY(page_->runAlerts()->text().endsWith("的提醒: 晴天 短袖 第1页·上 → 第3页·上"));
        QCOMPARE(page_->runAlerts()->toolTip(), QString::fromUtf8(run.alertText.c_str()));
    }

    // The line of an item at position 1 keeps off the frame, and every tick is a position it could have.
    void chartAxisIsPaddedWithWholePositionTicks() {
        controller_->PassFinished(Pass("pop", 63, {Found("2001", 1, 1)}));
        page_->SelectItem("2001");
        auto* view = page_->findChild<QChartView*>("图表_排名曲线");
        QVERIFY(view && view->chart());
        const auto axes = view->chart()->axes(Qt::Vertical);
        QCOMPARE(axes.size(), 1);
        auto* y = qobject_cast<QValueAxis*>(axes.front());
        QVERIFY(y);
        QVERIFY(y->min() <= 0.5);
        QCOMPARE(y->tickType(), QValueAxis::TicksDynamic);
        QCOMPARE(y->tickAnchor(), 1.0);
        QCOMPARE(y->tickInterval(), std::round(y->tickInterval()));
        QVERIFY(y->tickInterval() >= 1);
    }

    // The page grows in a window of its own; the window follows the history as the tab's page does.
    void opensInAResizableWindowOfItsOwn() {
        page_->SelectItem("2001");
        auto* button = page_->findChild<QPushButton*>("按钮_历史新窗口");
        QVERIFY(button && button->isVisible());
        QCOMPARE(button->text(), QString("在新窗口中打开"));
        button->click();
        QPointer<QWidget> window = page_->openedWindow();
        QVERIFY(window && window->isWindow() && window->isVisible());
        QVERIFY(window->minimumSize() != window->maximumSize());
        window->resize(1000, 700);
        QTRY_COMPARE(window->size(), QSize(1000, 700));
        auto* twin = window->findChild<shell::HistoryPage*>("排名历史");
        QVERIFY(twin);
        QVERIFY(!twin->findChild<QPushButton*>("按钮_历史新窗口")->isVisible());
        QCOMPARE(twin->itemProxy()->rowCount(), page_->itemProxy()->rowCount());
        // On the same item.
        QCOMPARE(twin->timeline()->rows()[0].cells.size(), page_->timeline()->rows()[0].cells.size());
        QCOMPARE(twin->timeline()->rows()[2].cells.size(), std::size_t(1));

        // A second click brings the same window forward.
        button->click();
        QCOMPARE(page_->openedWindow(), window.data());
        const int rows = page_->itemProxy()->rowCount();
        controller_->PassFinished(Pass("pop", 64, {Found("2003", 2, 2, "新款")}));
        QCOMPARE(page_->itemProxy()->rowCount(), rows + 1);
        QCOMPARE(twin->itemProxy()->rowCount(), rows + 1);
        window->close();
        QTRY_VERIFY(!window);
        controller_->PassFinished(Pass("pop", 65, {Found("2003", 2, 1)}));
    }

    // Neither a store that fails while it is read nor a file that cannot be written passes for an export:
    // each is said, every time, and no file is left behind or spoilt. The comparison says the failed read too.
    void aFailedExportIsSaidAndLeavesNoFile() {
        const QString database = dir_.filePath("failing.sqlite");
        auto controller = NewController(database);
        controller->PassFinished(Pass("pop", 0, {Found("1001", 2, 2)}, "8001", "w1"));
        shell::HistoryPage page(*controller, [] { return std::string("8001"); });
        QStringList warnings;
        page.warn = [&](const QString& text) { warnings << text; };
        QString target = dir_.filePath("no-such-folder/export.csv");
        page.chooseExportFile = [&](const QString&) { return target; };
        QVERIFY(!page.ExportCsv(true));

        target = dir_.filePath("kept.csv");
        QFile kept(target);
        QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write("old") == 3);
        kept.close();
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(database.toUtf8().constData(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "DROP TABLE results", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        QVERIFY(!page.ExportCsv(true));
        QVERIFY(!page.ExportCsv(true));
        // The comparison's read fails the same way, and says so in the same words.
        ShowComparison(page);
        QVERIFY(page.comparison()->hint()->text().startsWith("无法读取排名历史"));

        QCOMPARE(warnings.size(), 3);
        QVERIFY2(warnings[0].startsWith("无法写入文件"), qPrintable(warnings[0]));
        QVERIFY2(warnings[1].startsWith("无法读取排名历史"), qPrintable(warnings[1]));
        QCOMPARE(warnings[2], warnings[1]);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("old"));
        QCOMPARE(QDir(dir_.path()).entryList({"*.part"}, QDir::Files), QStringList());
        QVERIFY(!QDir(dir_.filePath("no-such-folder")).exists());
    }

    // Item 4001 under two sorts: a miss, a failed pass, and a night between.
    void timelineDrawsTheCellsTheReportDoes() {
        auto failed = Pass("pop", 220, {Missing("4001", ItemState::Incomplete)});
        failed.failedRequests = 3;
        for (const base::PassOutcome& pass :
             {Pass("pop", 200, {Found("4001", 2, 2)}), Pass("hot30day", 205, {Found("4001", 1, 9)}),
              Pass("pop", 210, {Found("4001", 1, 5)}), Pass("hot30day", 215, {Missing("4001")}), failed,
              Pass("hot30day", 225, {Found("4001", 4, 4)}), Pass("pop", 230, {Missing("4001")}),
              Pass("pop", 800, {Found("4001", 3, 1)})})
            controller_->PassFinished(pass);
        page_->SelectItem("4001");
        const auto stored = controller_->Store()->Timeline("8001", "4001");
        QVERIFY(stored.ok());
        const QStringList expected = CellsOf(history::BuildTimeline(stored.value()));
        // The seeding holds what is easy to draw wrongly: else the comparison would prove little.
        const QString all = expected.join('\n');
        QVERIFY(all.contains("hatched=1") && all.contains("break=1"));
        QVERIFY(all.contains(QString("state=%1").arg(static_cast<int>(ItemState::NotFound))));
        QCOMPARE(CellsOf(page_->timeline()->rows()), expected);
    }

    // Two shops over three walks of one listing and one of another; the last pop walk finds none of the
    // rival's items. The tab follows the recorded passes and draws CompareShops' walks through SharesOf.
    void comparisonLinesAreTheWatchedShopsShares() {
        ShowComparison(*page_);
        const shell::ShopCompareView* view = page_->comparison();
        // Never watched with others yet: a line that says so, not an empty chart.
        QVERIFY(view->hint()->isVisibleTo(page_.get()) && !view->chartView()->isVisibleTo(page_.get()));
        QVERIFY(view->hint()->text().contains("rankmoth-cli track"));
        for (const base::PassOutcome& pass :
             {Pass("pop", 300, {Found("1001", 1, 2)}, "8001", "w1"),
              Pass("pop", 300, {Found("3001", 1, 8), Found("3002", 2, 1)}, "9009", "w1"),
              Pass("pop", 360, {Found("1001", 3, 9)}, "8001", "w2"),
              Pass("pop", 361, {Found("3001", 1, 1)}, "9009", "w2"),
              Pass("hot30day", 365, {Found("1001", 1, 1)}, "8001", "w2h"),
              Pass("hot30day", 365, {Found("3001", 1, 1)}, "9009", "w2h"),
              Pass("pop", 420, {Found("1001", 2, 5)}, "8001", "w3"), Pass("pop", 420, {Missing("3001")}, "9009", "w3")})
            controller_->PassFinished(pass);

        QVERIFY(!view->hint()->isVisibleTo(page_.get()));
        const auto compared = history::CompareShops(*controller_->Store(), "8001", {});
        QVERIFY(compared.ok() && compared.value().size() == 2);
        // The sorts in the window's order, whatever their keys' spelling.
        QComboBox* choice = view->listingChoice();
        QVERIFY(choice->count() == 2 && choice->itemText(0) == QString("clothing · 潮流"));
        for (const history::ListingVisibility& listing : compared.value()) {
            QStringList expected, drawn;
            for (std::size_t k = 0; k < listing.shops.size(); ++k) {
                expected << QString::fromStdString(listing.shops[k]);
                for (const history::VisibilityPoint& point : listing.points)
                    expected.back() +=
                        QString(" %1:%2")
                            .arg(QDateTime::fromString(QString::fromStdString(point.started), Qt::ISODate)
                                     .toMSecsSinceEpoch())
                            .arg(history::SharesOf(point.scores)[k] * 100);
            }
            choice->setCurrentIndex(choice->findText(shell::ShopCompareView::ListingCaption(listing)));
            QChart* chart = view->chartView()->chart();
            for (QAbstractSeries* series : chart->series()) {
                drawn << series->name();
                for (const QPointF& at : qobject_cast<QLineSeries*>(series)->points())
                    drawn.back() += QString(" %1:%2").arg(static_cast<qint64>(at.x())).arg(at.y());
            }
            QCOMPARE(drawn, expected);
            // The page's shop first and strongest, on a whole 0-100% axis.
            const auto lines = chart->series();
            QVERIFY(qobject_cast<QLineSeries*>(lines[0])->pen().widthF() >
                    qobject_cast<QLineSeries*>(lines[1])->pen().widthF());
            auto* y = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).value(0));
            QVERIFY(y && y->min() == 0 && y->max() == 100);
        }
        // Three pop walks, the last all the seller's: the lines compared above are not a run of zeros.
        const auto& pop = compared.value()[0].sort == "pop" ? compared.value()[0] : compared.value()[1];
        QCOMPARE(history::SharesOf(pop.points.at(2).scores), (std::vector<double>{1.0, 0.0}));
    }

    void cleanupTestCase() {
        page_.reset();
        controller_.reset();
    }
};

QTEST_MAIN(HistoryPageTest)
#include "history_page_test.moc"
