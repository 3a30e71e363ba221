// Monitoring and the interval box on the real event loop: the program's windows in-process and offscreen
// against rankmoth-sim answering every marketplace request late, with the minute tick shortened through
// the control layer.
// moc needs none of the program's headers, and its own parser stumbles over the C++20 library ones.
#ifndef Q_MOC_RUN
#include "app/qt/application.h"
#include "tests/gui/sim_program.h"
#endif

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolTip>
#include <QtTest>

#include <memory>

using namespace rankmoth;

namespace {
const QString kRunningHint = QString::fromUtf8("提示：当前正在进行查询哦~");
const QString kIntervalHint = QString::fromUtf8("注意：自动查询间隔不能＜10分钟、不能＞600分钟！");
const QString kCountdownHead = QString::fromUtf8(" 本次已查询完成！  正在监测 -> 距下次查询还有: ");
} // namespace

class MonitorE2eTest : public QObject, protected testing::SimProgram {
    Q_OBJECT

private:
    QString Hint() { return Main<QLabel>("标签_提示")->text(); }
    // The tip on screen, Qt's or the window's own, with its place in the main window; empty when none shows.
    std::pair<QString, QRect> VisibleTip() {
        QWidget* window = app_->mainWindow();
        if (QToolTip::isVisible())
            return {QToolTip::text(), QRect()};
        for (QLabel* label : window->findChildren<QLabel*>())
            if (label->isVisible() && label->objectName() == "hintTip")
                return {label->text(), label->geometry()};
        return {};
    }

private slots:
    void initTestCase() {
        if (!StartSim({"--latency-ms=100"}))
            QSKIP("rankmoth-sim is not built");
        MakeProgram();
        StartAndSettle();

        Main<QLineEdit>("编辑框_优店ID")->setText("demo");
        Main<QAbstractButton>("按钮_自动加载全店宝贝ID")->click();
        QTRY_COMPARE_WITH_TIMEOUT(Main<QLabel>("标签_宝贝ID个数")->text(), QString("45"), 60000);
        Main<QLineEdit>("编辑框_最多页")->setText("1");
    }

    // Values are typed digit by digit: 30 passes through 3, which alone is out of range.
    void theIntervalIsCheckedWhenEditingFinishes() {
        auto* box = Main<QLineEdit>("编辑框_检索间隔");
        const QString usual = Hint();
        box->setFocus();
        QTRY_VERIFY(box->hasFocus());
        box->selectAll();
        QTest::keyClicks(box, "30");
        QCOMPARE(box->text(), QString("30"));
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(box->text(), QString("30"));
        QCOMPARE(Hint(), usual);

        box->selectAll();
        QTest::keyClicks(box, "9");
        QCOMPARE(Hint(), usual);
        Main<QWidget>("编辑框_优店ID")->setFocus();
        QTRY_COMPARE(box->text(), QString("10"));
        QCOMPARE(Hint(), kIntervalHint);
        QCOMPARE(box->toolTip(), kIntervalHint);
    }

    // The hint stands where the user looks once Tab or Enter has finished the edit: neither the release of
    // the key nor the focus change that follows may take it away.
    void theIntervalHintStandsThroughTabAndEnter() {
        auto* box = Main<QLineEdit>("编辑框_检索间隔");
        QWidget* window = app_->mainWindow();
        for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Return}) {
            app_->controls().SetToolTip(base::kMainWindow, "编辑框_检索间隔", Text());
            QTRY_VERIFY(VisibleTip().first.isEmpty());
            box->setFocus();
            QTRY_VERIFY(box->hasFocus());
            box->selectAll();
            QTest::keyClicks(box, "9");
            QTest::keyClick(box, key);
            QCOMPARE(box->text(), QString("10"));
            QCOMPARE(box->hasFocus(), key == Qt::Key_Return);
            // Whatever the key and the focus change left queued runs before the tip is looked at.
            for (int i = 0; i < 5; ++i)
                QCoreApplication::processEvents();
            const auto [text, where] = VisibleTip();
            QCOMPARE(text, kIntervalHint);
            // At the box: just under it, and inside the window.
            const QRect boxRect(box->mapTo(window, QPoint(0, 0)), box->size());
            QVERIFY2(where.top() >= boxRect.bottom() && where.top() <= boxRect.bottom() + 6,
                     qPrintable(key == Qt::Key_Tab ? "Tab" : "Enter"));
            QVERIFY(window->rect().contains(where));
        }
        // It goes with its hint.
        app_->controls().SetToolTip(base::kMainWindow, "编辑框_检索间隔", Text());
        QTRY_VERIFY(VisibleTip().first.isEmpty());
    }

    // An automatic run lasts longer than the interval: the ticks keep coming during it, write the countdown,
    // and the one that reaches the interval again is refused with the running hint at the query button.
    void ticksKeepCountingDuringAnAutomaticRun() {
        auto& hooks = app_->hooks();
        const auto tick = hooks.monitorTick;
        int depth = 0;
        int ticksDuringRun = 0;
        QStringList countdownsDuringRun;
        QString refusalTip;
        const auto stop = [this] {
            Main<QAbstractButton>("单选框_手动查询")->click();
            Main<QAbstractButton>("按钮_停止查询1")->click();
        };
        hooks.monitorTick = [&] {
            ++depth;
            tick();
            // A tick inside another tick's action: that action is the run the countdown started.
            if (depth > 1) {
                ++ticksDuringRun;
                countdownsDuringRun << Status(1);
                if (Hint() == kRunningHint && refusalTip.isEmpty()) {
                    refusalTip = Main<QWidget>("按钮_查询大类排名")->toolTip();
                    stop();
                }
            }
            --depth;
        };
        // Whatever the outcome, the hook goes back before the locals it uses go.
        struct Restore {
            base::ShellHooks& hooks;
            std::function<void()> tick;
            base::Controls& controls;
            ~Restore() {
                controls.SetTimerInterval(base::kMainWindow, "时钟_监测间隔", 0);
                hooks.monitorTick = tick;
            }
        } restore{hooks, tick, app_->controls()};
        // The run goes on for many seconds unless stopped; should the ticks never come, this ends it.
        QTimer guard;
        guard.setSingleShot(true);
        connect(&guard, &QTimer::timeout, this, stop);
        guard.start(30000);

        Main<QLineEdit>("编辑框_检索间隔")->setText("10");
        Main<QAbstractButton>("单选框_自动监测")->click();
        QCOMPARE(app_->controls().TimerInterval(base::kMainWindow, "时钟_监测间隔"), 60000);
        app_->controls().SetTimerInterval(base::kMainWindow, "时钟_监测间隔", 40);

        QTRY_VERIFY_WITH_TIMEOUT(!refusalTip.isEmpty() || !guard.isActive(), 40000);
        QTRY_COMPARE_WITH_TIMEOUT(depth, 0, 20000);

        QVERIFY2(ticksDuringRun >= 10, qPrintable(QString::number(ticksDuringRun)));
        QCOMPARE(refusalTip, kRunningHint);
        for (const QString& text : countdownsDuringRun.mid(0, 9))
            QVERIFY2(text.startsWith(kCountdownHead) && text.endsWith(" Min"), qPrintable(text));
        QCOMPARE(countdownsDuringRun.first(), kCountdownHead + "9 Min");
        QCOMPARE(app_->controls().TimerInterval(base::kMainWindow, "时钟_监测间隔"), 0);
    }

    void cleanupTestCase() {
        app_.reset();
        sim_.reset();
    }
};

QTEST_MAIN(MonitorE2eTest)
#include "monitor_e2e_test.moc"
