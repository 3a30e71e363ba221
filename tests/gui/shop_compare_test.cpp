// What the history page draws against what the core works out from the same store: the zone timeline's cells
// and the shop comparison's lines, which a shared report draws from the same figures.
// moc stumbles over the C++20 standard headers the store pulls in; it needs none of them.
#ifndef Q_MOC_RUN
#include "app/qt/history_controller.h"
#include "app/qt/history_page.h"
#include "app/qt/shop_compare_view.h"
#include "app/qt/zone_timeline.h"
#include "history/report_model.h"
#include "history/shop_comparison.h"
#include "tests/support/temp_folder.h"

#include <sqlite3.h>
#endif

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QLabel>
#include <QLineSeries>
#include <QTabWidget>
#include <QValueAxis>
#include <QtTest>

#include <memory>

using namespace rankmoth;
using base::ItemState;

namespace {
base::ItemResult Result(const char* id, ItemState state, int page = 0, int slice = 0) {
    base::ItemResult item;
    item.itemId = Text(id);
    item.state = state;
    item.page = page;
    item.slice = slice;
    item.hits = state == ItemState::Found ? 1 : 0;
    return item;
}

// A pass of `shop` started `minute` minutes into 2025-12-01 (UTC); `walk` set, one cut from a watch's walk.
base::PassOutcome Pass(const char* shop, const char* sort, int minute, std::vector<base::ItemResult> items,
                       const char* walk = "") {
    base::PassOutcome pass;
    pass.request.shop = Text(shop);
    pass.request.category = "clothing";
    pass.request.sort = sort;
    pass.request.pageLimit = 10;
    pass.started = base::Clock::from_time_t(1764547200) + std::chrono::minutes(minute);
    pass.finished = pass.started + std::chrono::minutes(2);
    pass.pagesWalked = 10;
    pass.requests = 40;
    pass.items = std::move(items);
    pass.walkId = walk;
    return pass;
}

// Every field the painter reads, one text per cell, so that a difference names its row and cell.
QStringList CellsOf(const std::vector<history::TimelineRow>& rows) {
    QStringList cells;
    for (const history::TimelineRow& row : rows)
        for (const history::TimelineCell& cell : row.cells)
            cells << QString("%1 %2 state=%3 page=%4 zone=%5 hatched=%6 break=%7")
                         .arg(QString::fromStdString(row.sort), QString::fromStdString(cell.started))
                         .arg(static_cast<int>(cell.state))
                         .arg(cell.page)
                         .arg(static_cast<int>(cell.zone))
                         .arg(cell.hatched())
                         .arg(cell.breakBefore);
    return cells;
}
} // namespace

class ShopCompareTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testing::TempFolder> dir_;
    std::unique_ptr<shell::HistoryController> controller_;
    std::unique_ptr<shell::HistoryPage> page_;

    void ShowComparison() {
        auto* views = page_->findChild<QTabWidget*>("选择夹_历史视图");
        QVERIFY(views);
        views->setCurrentWidget(page_->comparison());
    }

private slots:
    void initTestCase() {
        dir_ = std::make_unique<testing::TempFolder>("rankmoth-compare");
        controller_ = std::make_unique<shell::HistoryController>(dir_->file("history.sqlite"),
                                                                 shell::HistoryController::Services{});
        page_ = std::make_unique<shell::HistoryPage>(*controller_, [] { return std::string("8001"); });
        page_->resize(564, 508);
        // The window's own passes of item 1001 under two sorts: a miss, a failed pass, and a night between.
        auto failed = Pass("8001", "pop", 20, {Result("1001", ItemState::Incomplete)});
        failed.failedRequests = 3;
        for (const base::PassOutcome& pass : {
                 Pass("8001", "pop", 0, {Result("1001", ItemState::Found, 2, 2)}),
                 Pass("8001", "hot30day", 5, {Result("1001", ItemState::Found, 1, 9)}),
                 Pass("8001", "pop", 10, {Result("1001", ItemState::Found, 1, 5)}),
                 Pass("8001", "hot30day", 15, {Result("1001", ItemState::NotFound)}),
                 failed,
                 Pass("8001", "hot30day", 25, {Result("1001", ItemState::Found, 4, 4)}),
                 Pass("8001", "pop", 30, {Result("1001", ItemState::NotFound)}),
                 Pass("8001", "pop", 600, {Result("1001", ItemState::Found, 3, 1)}),
             })
            controller_->PassFinished(pass);
        page_->show();
        QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
    }

    void timelineDrawsTheCellsTheReportDoes() {
        page_->SelectItem("1001");
        const auto stored = controller_->Store()->Timeline("8001", "1001");
        QVERIFY(stored.ok());
        const auto expected = history::BuildTimeline(stored.value());
        // The seeding holds what is easy to draw wrongly: else the comparison below would prove little.
        const QString all = CellsOf(expected).join('\n');
        QVERIFY(all.contains("hatched=1") && all.contains("break=1"));
        QVERIFY(all.contains(QString("state=%1").arg(static_cast<int>(ItemState::NotFound))));
        QCOMPARE(CellsOf(page_->timeline()->rows()), CellsOf(expected));
    }

    void aShopNeverWatchedWithOthersGetsAHintNotAnEmptyChart() {
        ShowComparison();
        const shell::ShopCompareView* view = page_->comparison();
        QVERIFY(view->hint()->isVisibleTo(page_.get()));
        QVERIFY(view->hint()->text().contains("rankmoth-cli track"));
        QVERIFY(!view->chartView()->isVisibleTo(page_.get()));
    }

    // Two shops over three walks of one listing and one of another; the last pop walk finds none of the
    // rival's items. The tab follows the recorded passes and draws CompareShops' walks through SharesOf.
    void comparisonLinesAreTheWatchedShopsShares() {
        ShowComparison();
        for (const base::PassOutcome& pass : {
                 Pass("8001", "pop", 1000, {Result("1001", ItemState::Found, 1, 2)}, "w1"),
                 Pass("9009", "pop", 1000,
                      {Result("3001", ItemState::Found, 1, 8), Result("3002", ItemState::Found, 2, 1)}, "w1"),
                 Pass("8001", "pop", 1060, {Result("1001", ItemState::Found, 3, 9)}, "w2"),
                 Pass("9009", "pop", 1061, {Result("3001", ItemState::Found, 1, 1)}, "w2"),
                 Pass("8001", "hot30day", 1065, {Result("1001", ItemState::Found, 1, 1)}, "w2h"),
                 Pass("9009", "hot30day", 1065, {Result("3001", ItemState::Found, 1, 1)}, "w2h"),
                 Pass("8001", "pop", 1120, {Result("1001", ItemState::Found, 2, 5)}, "w3"),
                 Pass("9009", "pop", 1120, {Result("3001", ItemState::NotFound)}, "w3"),
             })
            controller_->PassFinished(pass);

        const shell::ShopCompareView* view = page_->comparison();
        QVERIFY(!view->hint()->isVisibleTo(page_.get()));
        const auto compared = history::CompareShops(*controller_->Store(), "8001", {});
        QVERIFY(compared.ok());
        QCOMPARE(compared.value().size(), std::size_t(2));
        QComboBox* choice = view->listingChoice();
        // The sorts in the window's order, whatever their keys' spelling.
        QCOMPARE(choice->count(), 2);
        QCOMPARE(choice->itemText(0), QString("clothing · 潮流"));
        for (const history::ListingVisibility& listing : compared.value()) {
            QCOMPARE(listing.shops, (std::vector<std::string>{"8001", "9009"}));
            choice->setCurrentIndex(choice->findText(shell::ShopCompareView::ListingCaption(listing)));
            QVERIFY(choice->currentIndex() >= 0);
            QChart* chart = view->chartView()->chart();
            const auto series = chart->series();
            QCOMPARE(series.size(), 2);
            for (std::size_t k = 0; k < 2; ++k) {
                auto* line = qobject_cast<QLineSeries*>(series[static_cast<qsizetype>(k)]);
                QVERIFY(line);
                QCOMPARE(line->name().toStdString(), listing.shops[k]);
                QCOMPARE(static_cast<std::size_t>(line->count()), listing.points.size());
                for (std::size_t p = 0; p < listing.points.size(); ++p) {
                    const auto& point = listing.points[p];
                    const QPointF drawn = line->at(static_cast<qsizetype>(p));
                    QCOMPARE(drawn.x(), static_cast<qreal>(
                                            QDateTime::fromString(QString::fromStdString(point.started), Qt::ISODate)
                                                .toMSecsSinceEpoch()));
                    QCOMPARE(drawn.y(), history::SharesOf(point.scores)[k] * 100);
                }
            }
            // The page's shop first and strongest, on a whole 0-100% axis.
            QVERIFY(qobject_cast<QLineSeries*>(series[0])->pen().widthF() >
                    qobject_cast<QLineSeries*>(series[1])->pen().widthF());
            auto* y = qobject_cast<QValueAxis*>(chart->axes(Qt::Vertical).value(0));
            QVERIFY(y && y->min() == 0 && y->max() == 100);
        }
        // The pop listing: three walks, the last all the seller's, so the lines are not a restatement of zeros.
        const auto& pop = compared.value()[0].sort == "pop" ? compared.value()[0] : compared.value()[1];
        QCOMPARE(pop.points.size(), std::size_t(3));
        QCOMPARE(history::SharesOf(pop.points[2].scores), (std::vector<double>{1.0, 0.0}));
    }

    // A store that fails under the comparison's read says so in the page's words, not as an empty tab.
    void aFailedReadIsSaid() {
        ShowComparison();
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(dir_->file("history.sqlite").c_str(), &db), SQLITE_OK);
        QCOMPARE(sqlite3_exec(db, "DROP TABLE results", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
        page_->Refresh();
        const shell::ShopCompareView* view = page_->comparison();
        QVERIFY(view->hint()->isVisibleTo(page_.get()));
        QVERIFY2(view->hint()->text().startsWith("无法读取排名历史"), qPrintable(view->hint()->text()));
    }

    void cleanupTestCase() {
        page_.reset();
        controller_.reset();
        dir_.reset();
    }
};

QTEST_MAIN(ShopCompareTest)
#include "shop_compare_test.moc"
