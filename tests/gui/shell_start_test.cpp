// The shell starting and ending: the start order, the start-up worker, the skin, the real end of the
// process and the pump that keeps the window thread turning.
#include "tests/gui/shell_fixture.h"

// moc needs none of the program's headers, and its own parser stumbles over the C++20 library ones.
#ifndef Q_MOC_RUN
#include "app/qt/skin.h"
#include "app/qt/window_design.h"
#include "base/settings.h"
#endif

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <atomic>
#include <future>
#include <thread>

using namespace rankmoth;
using shell::Application;

class ShellStartTest : public QObject, protected testing::ShellFixture {
    Q_OBJECT

private slots:
    void init() { Begin(); }
    void cleanup() { End(); }

    void startsWithTheUpdateWindowThenOpensTheMainWindowModal() {
        Make();
        app_->Start();
        QVERIFY(app_->updateWindow() && app_->updateWindow()->isVisible());
        QVERIFY(!app_->mainWindow());
        QTRY_VERIFY(app_->mainWindow() && app_->mainWindow()->isVisible());
        QCOMPARE(app_->mainWindow()->windowModality(), Qt::ApplicationModal);
        // The start-up worker fills in the defaults, then the loading texts give way.
        QTRY_VERIFY(app_->startupFinished());
        auto& c = app_->controls();
        QTRY_COMPARE(c.ComboSelection(base::kMainWindow, "组合框_大分类"), 0);
        QTRY_COMPARE(c.StatusText(base::kMainWindow, "状态条1", 0), " 就绪"_gbk);
        QCOMPARE(c.StatusText(base::kMainWindow, "状态条1", 1), " 加载完成"_gbk);
        QCOMPARE(c.TimerInterval(base::kMainWindow, "时钟_网站配置"), 0);
        QVERIFY(c.IsChecked(base::kMainWindow, "单选框_手动查询"));
        QVERIFY(c.IsChecked(base::kMainWindow, "单选框_先查潮流"));
        QCOMPARE(c.GetText(base::kMainWindow, "通用对话框1"), Text::FromUtf8(QDir::currentPath().toStdString()));
        // The keyboard focus lands on the parked keyword box.
        QTRY_COMPARE(QApplication::focusWidget(), Main<QWidget>("编辑框_关键词"));
        // The skin was written beside the executable and applied.
        QVERIFY(QFile::exists(QDir(dir_->path()).filePath(shell::kSkinFileName)));
        QCOMPARE(qApp->styleSheet(), shell::SkinBlock(28));
    }

    void startupCheckRunsOffTheWindowThreadAndChoosesTheTab() {
        Make();
        QVERIFY(base::WriteSetting(app_->configFile(), Text("canshu"), Text("youdianid"), Text("31415")));
        std::atomic<bool> checkOffThread{false}, loadOffThread{false};
        app_->hooks().backgroundCheck = [&](const std::function<void(int)>& finish) {
            checkOffThread = QThread::currentThread() != qApp->thread();
            finish(1);
        };
        app_->hooks().loadSubCategories = [&] {
            loadOffThread = QThread::currentThread() != qApp->thread();
            app_->controls().AddComboEntry(base::kMainWindow, "组合框_小分类", Text("50010850"));
            app_->controls().AddComboEntry(base::kMainWindow, "组合框_小分类", Text("50000671"));
        };
        app_->Start();
        QTRY_VERIFY(app_->startupFinished());
        QVERIFY(checkOffThread);
        QVERIFY(loadOffThread);
        QTRY_COMPARE(dynamic_cast<shell::TabControl*>(Main<QWidget>("选择夹1"))->currentIndex(), 1);
        QCOMPARE(Main<QComboBox>("组合框_小分类")->currentIndex(), 0);
        QCOMPARE(Main<QComboBox>("组合框_小分类")->count(), 2);
        QCOMPARE(Main<QLineEdit>("编辑框_优店ID")->text(), QString("31415"));
        QVERIFY(Main<QWidget>("选择夹1")->isEnabled());
    }

    // A check still running when the program is torn down holds the program: the teardown waits for it, and
    // what the check finishes late touches no window.
    void teardownWaitsForTheStartupCheckWhichThenLeavesTheWindowsAlone() {
        Make();
        std::promise<void> release;
        std::atomic<bool> entered{false}, returned{false}, loaded{false};
        app_->hooks().backgroundCheck = [&](const std::function<void(int)>& finish) {
            entered = true;
            release.get_future().wait();
            finish(1);
            returned = true;
        };
        app_->hooks().loadSubCategories = [&] { loaded = true; };
        app_->Start();
        QTRY_VERIFY(entered);
        // Runs only once the teardown dispatches events while it waits.
        QMetaObject::invokeMethod(
            qApp, [&] { release.set_value(); }, Qt::QueuedConnection);
        app_.reset();
        QVERIFY(returned);
        QVERIFY(!loaded);
    }

    void aStartWindowHookDecidesInsteadOfOpeningTheMainWindow() {
        Make();
        int calls = 0;
        app_->hooks().updateWindowCreated = [&] { ++calls; };
        app_->Start();
        QTRY_COMPARE(calls, 1);
        DrainEvents();
        QVERIFY(!app_->mainWindow());
        // With no main window, closing the start window is the end of the program.
        app_->updateWindow()->close();
        QCOMPARE(exits_, std::vector<int>{0});
    }

    void theSkinFileIsTheUsersOnceWritten() {
        QTemporaryDir dir;
        const QString path = QDir(dir.path()).filePath(shell::kSkinFileName);
        QCOMPARE(shell::AttachSkin(28, dir.path()), shell::SkinBlock(28));
        QVERIFY(QFile::exists(path));
        QFile edit(path);
        QVERIFY(edit.open(QIODevice::WriteOnly | QIODevice::Truncate));
        edit.write("QPushButton { color: #123456; }");
        edit.close();
        QCOMPARE(shell::AttachSkin(28, dir.path()), QString("QPushButton { color: #123456; }"));
        QCOMPARE(qApp->styleSheet(), QString("QPushButton { color: #123456; }"));
        // No skin block, no style; an unwritable place leaves the plain look without failing.
        QCOMPARE(shell::AttachSkin(5, dir.path()), QString());
        QCOMPARE(shell::AttachSkin(28, "/proc/no-such-dir"), shell::SkinBlock(28));
        qApp->setStyleSheet({});
    }

    // The real end of the program, in a child process: from inside a nested wait of the window thread, and
    // from the start-up worker.
    void theRealEndLeavesTheProcessWithItsCode_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("code");
        QTest::newRow("退出 inside a nested wait") << "exit-menu" << 0;
        QTest::newRow("closing the main window") << "close" << 0;
        QTest::newRow("end from the start-up worker") << "worker" << 3;
    }

    void theRealEndLeavesTheProcessWithItsCode() {
        QFETCH(QString, how);
        QFETCH(int, code);
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("RANKMOTH_END_PROBE", how);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), code);
    }

    void thePumpKeepsTheWindowThreadTurning() {
        shell::QtEventPump pump;
        bool fired = false;
        QTimer::singleShot(5, this, [&] { fired = true; });
        pump.PumpingWait(std::chrono::milliseconds(200));
        QVERIFY(fired);

        // On the window thread a wait for a worker returns in short slices so its caller can dispatch.
        base::DoneSignal done;
        QElapsedTimer waited;
        waited.start();
        pump.WaitForDoneOrEvents(done, std::chrono::seconds(30));
        QVERIFY(waited.elapsed() < 5000);

        // Off the window thread a wait is a plain one that the signal ends.
        std::atomic<bool> returned{false};
        std::thread waiter([&] {
            pump.WaitForDoneOrEvents(done, std::chrono::seconds(30));
            returned = true;
        });
        done.Signal();
        waiter.join();
        QVERIFY(returned);
        QVERIFY(pump.Now() >= std::chrono::milliseconds(0));
    }
};

namespace {
// The child side of theRealEndLeavesTheProcessWithItsCode: runs the program with its real end, which must
// leave the process; falling out of here is a failure (exit code 99).
int RunEndProbe(const QString& how) {
    QTemporaryDir dir;
    Application::Options options;
    options.bindCore = false;
    options.configFile = dir.filePath("config.ini").toStdString();
    options.skinDirectory = dir.path();
    options.trayAvailable = false;
    options.historyFile = dir.filePath("history.sqlite").toStdString();
    Application program(options);
    if (how == "worker")
        program.hooks().backgroundCheck = [&program](const std::function<void(int)>&) {
            program.controls().EndProgram(3);
        };
    program.Start();
    QElapsedTimer waited;
    waited.start();
    while (!(program.mainWindow() && program.mainWindow()->isVisible()) && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (how == "exit-menu") {
        QTimer::singleShot(
            20, [&program] { program.mainWindow()->findChild<QMenu*>("托盘菜单")->actions().last()->trigger(); });
        program.pump().PumpingWait(std::chrono::seconds(5));
    } else if (how == "close") {
        program.mainWindow()->close();
    }
    while (waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return 99;
}
} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("RANKMOTH_END_PROBE"))
        return RunEndProbe(qEnvironmentVariable("RANKMOTH_END_PROBE"));
    ShellStartTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "shell_start_test.moc"
