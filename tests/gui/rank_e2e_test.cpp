// The program's windows, in-process and offscreen, against rankmoth-sim on a free loopback port: start-up
// through the notice pages, a shop load of 45 items in three packs, and a two-page query whose rows and
// status texts are read back from the real widgets.
// moc needs none of the program's headers, and its own parser stumbles over the C++20 library ones.
#ifndef Q_MOC_RUN
#include "app/qt/application.h"
#include "app/qt/compose.h"
#include "app/qt/window_design.h"
#include "base/endpoints.h"
#include "tests/gui/sim_program.h"
#include "web/cookie_jar.h"
#endif

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

using namespace rankmoth;

namespace {

// The window thread's pump with every pause shortened: the item checks still dispatch the window's events
// between them, but 900 checks of 0.1 s would make the test take minutes.
class ShortPausePump final : public base::EventPump {
public:
    explicit ShortPausePump(base::EventPump& inner) : inner_(inner) {}
    void PumpingWait(std::chrono::microseconds duration) override { inner_.PumpingWait(duration / 25); }
    void DispatchPending() override { inner_.DispatchPending(); }
    void WaitForDoneOrEvents(const base::DoneSignal& done, std::chrono::milliseconds limit) override {
        inner_.WaitForDoneOrEvents(done, limit);
    }
    std::chrono::milliseconds Now() override { return inner_.Now(); }

private:
    base::EventPump& inner_;
};

QString U(const Text& text) {
    return QString::fromStdString(text.ToUtf8());
}

} // namespace

class RankE2eTest : public QObject, protected testing::SimProgram {
    Q_OBJECT

private:
    std::unique_ptr<ShortPausePump> pump_;
    std::unique_ptr<shell::CoreContext> core_;

private slots:
    void initTestCase() {
        if (!StartSim())
            QSKIP("rankmoth-sim is not built");

        // A market host the settings file cannot have: the environment's simulator stands in for it.
        QFile config(dir_.path() + "/config.ini");
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("[hosts]\r\nmarket = shop.example:port\r\n");
        config.close();

        MakeProgram();

        // The rank hooks bound again as the application binds them, over the short-pause pump.
        pump_ = std::make_unique<ShortPausePump>(app_->pump());
        core_.reset(new shell::CoreContext{app_->controls(), *pump_, base::Endpoints::FromEnvironment(),
                                           web::WebEnv{*pump_, app_->controls(), web::ProcessCookieJar()}});
        shell::BindRankHooks(*core_, app_->hooks());

        StartAndSettle();
        QCOMPARE(Main<QLineEdit>("编辑框_最多页")->text(), QString("100"));
    }

    // The refused value is said once, in a message box, and the program carries on without it.
    void aRefusedHostsValueIsSaidAtStartUp() {
        QCOMPARE(messages_.size(), 1);
        QVERIFY2(messages_[0].contains("[hosts] market") && messages_[0].contains("shop.example:port"),
                 qPrintable(messages_[0]));
        messages_.clear();
    }

    void loadsTheDemoShop() {
        auto* shopId = Main<QLineEdit>("编辑框_优店ID");
        auto* load = Main<QAbstractButton>("按钮_自动加载全店宝贝ID");
        QVERIFY(shopId && load);
        shopId->setText(" demo ");
        load->click();
        QTRY_COMPARE_WITH_TIMEOUT(Main<QLabel>("标签_宝贝ID个数")->text(), QString("45"), 60000);
        QCOMPARE(Status(1), QString::fromUtf8(" 宝贝ID加载完成，总共加载了45个宝贝ID。现在可以查询喽~~"));
        QVERIFY(messages_.isEmpty());
    }

    void twoPageQueryListsEveryPlacedItem() {
        auto* pages = Main<QLineEdit>("编辑框_最多页");
        auto* list = Main<QTreeWidget>("超级列表框1");
        auto* start = Main<QAbstractButton>("按钮_查询大类排名");
        QVERIFY(pages && list && start);
        pages->setText("2");
        start->click();
        const QString lastProgress =
            QString::fromUtf8(" 当前查询排序: 潮流 -> 当前查询页面: 第2页 -> 查询进度: 9 -> 宝贝进度: 45");
        QTRY_COMPARE_WITH_TIMEOUT(Status(1), lastProgress, 90000);
        // Part 0 says that the pass is over, and how it went.
        QTRY_COMPARE(Status(0), QString::fromUtf8(" 查询完成 5/45"));
        auto* state = dynamic_cast<shell::PartStatusBar*>(Main<QWidget>("状态条1"))->part(0);
        const QString sentence = QString::fromUtf8("22 个请求全部成功，5/45 个宝贝已找到，其余不在前 2 页");
        QCOMPARE(state->toolTip(), sentence);
        QCOMPARE(state->accessibleDescription(), sentence);
        QCOMPARE(U(app_->controls().GetText(base::kMainWindow, "标签_进度提示")),
                 QString::fromUtf8("正在查询第45个，宝贝ID:52000145"));
        QVERIFY(messages_.isEmpty());

        const struct {
            const char* masked;
            const char* position;
        } expected[] = {
            {"***00103", "在第1页靠上面的位置发现了此宝贝"}, {"***00107", "在第1页靠上面的位置发现了此宝贝"},
            {"***00112", "在第1页靠中间的位置发现了此宝贝"}, {"***00107", "在第1页靠下面的位置发现了此宝贝"},
            {"***00121", "在第2页靠上面的位置发现了此宝贝"}, {"***00140", "在第2页靠下面的位置发现了此宝贝"},
        };
        QCOMPARE(list->topLevelItemCount(), 6);
        const QRegularExpression time(R"(^\d{4}-\d{1,2}-\d{1,2} \d{1,2}:\d{2}:\d{2}$)");
        for (int r = 0; r < 6; ++r) {
            QTreeWidgetItem* row = list->topLevelItem(r);
            QCOMPARE(row->text(0), QString::number(r + 1));
            QCOMPARE(row->text(1), QString::fromUtf8(expected[r].masked));
            QCOMPARE(row->text(2), QString::fromUtf8(expected[r].position));
            QCOMPARE(row->text(3), QString::fromUtf8("潮流"));
            QCOMPARE(row->foreground(3).color(), QColor(0xFF, 0x00, 0x00));
            QCOMPARE(row->background(3).color(), QColor(0x80, 0xFF, 0x80));
            QVERIFY2(time.match(row->text(4)).hasMatch(), qPrintable(row->text(4)));
        }
    }

    void startWithAPageLimitOfZeroIsRefused() {
        auto* pages = Main<QLineEdit>("编辑框_最多页");
        auto* start = Main<QAbstractButton>("按钮_查询大类排名");
        messages_.clear();
        QSignalBlocker quiet(pages); // set without the content check, as if pasted in before the focus rule ran
        pages->setText("0");
        start->click();
        QCOMPARE(messages_, QStringList{QString::fromUtf8("最多页不能＜1、不能＞100哦")});
        QCOMPARE(pages->text(), QString("100"));
        QCOMPARE(Main<QTreeWidget>("超级列表框1")->topLevelItemCount(), 6);
    }

    void pageLimitBoxPutsTheRememberedTextBackWithOneMessage() {
        auto* pages = Main<QLineEdit>("编辑框_最多页");
        QVERIFY(pages);
        const auto focusIn = [pages] {
            QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
            QApplication::sendEvent(pages, &in);
        };
        // Remembered while empty: putting the empty text back changes the box once more, and that change
        // must not be checked (and refused) a second time.
        {
            QSignalBlocker quiet(pages);
            pages->clear();
        }
        focusIn();
        messages_.clear();
        QTest::keyClicks(pages, "0");
        QCOMPARE(pages->text(), QString());
        QCOMPARE(messages_.size(), 1);

        pages->setText("20");
        focusIn();
        pages->selectAll();
        messages_.clear();
        QTest::keyClicks(pages, "150");
        QCOMPARE(pages->text(), QString("20"));
        QCOMPARE(messages_, QStringList{QString::fromUtf8("最多页不能＜1、不能＞100哦")});
    }

    void cleanupTestCase() {
        app_.reset();
        sim_.reset();
    }
};

QTEST_MAIN(RankE2eTest)
#include "rank_e2e_test.moc"
