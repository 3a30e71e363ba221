// The shell in action: start order, the event actions of the main window, the tray behaviour, and the Qt
// control layer and pump, on a real Application built in-process with the core left unbound.
// moc needs none of the program's headers, and its own parser stumbles over the C++20 library ones.
#ifndef Q_MOC_RUN
#include "app/main_actions.h"
#include "app/qt/alert_sound.h"
#include "app/qt/application.h"
#include "app/qt/qt_translations.h"
#include "app/qt/skin.h"
#include "app/qt/window_design.h"
#include "base/endpoints.h"
#include "base/settings.h"
#endif

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <QTreeWidget>
#include <QtTest>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

using namespace rankmoth;
using shell::Application;

namespace {
struct Box {
    QString text;
    int style;
    QString caption;
};
} // namespace

class ShellEventsTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<Application> app_;
    std::vector<Box> boxes_;
    std::vector<std::string> opened_;
    std::vector<int> exits_;

    void Make(std::optional<bool> tray = false, std::function<bool()> trayProbe = {}) {
        Application::Options options;
        options.bindCore = false;
        options.configFile = dir_->filePath("config.ini").toStdString();
        options.skinDirectory = dir_->path();
        options.trayAvailable = tray;
        options.historyFile = dir_->filePath("history.sqlite").toStdString();
        options.trayProbe = std::move(trayProbe);
        app_ = std::make_unique<Application>(options);
        app_->messageBox = [this](const QString& text, int style, const QString& caption) {
            boxes_.push_back({text, style, caption});
            return base::kButtonOk;
        };
        app_->openAddress = [this](const std::string& address) { opened_.push_back(address); };
        app_->endProgram = [this](int code) { exits_.push_back(code); };
    }
    // Starts the program and waits for the start-up loading to be over.
    void StartAndSettle() {
        app_->Start();
        QTRY_VERIFY(app_->mainWindow() && app_->mainWindow()->isVisible());
        QTRY_VERIFY(app_->startupFinished());
        QTRY_COMPARE(Main<QComboBox>("组合框_大分类")->currentIndex(), 0);
        QTRY_VERIFY(Main<QWidget>("选择夹1")->isEnabled());
    }
    // Lets the actions queued so far run, without waiting for time to pass.
    static void DrainEvents() {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    template <class W> W* Main(const char* name) { return app_->mainWindow()->findChild<W*>(QString::fromUtf8(name)); }
    void Tick(const char* timer, int times = 1) {
        for (int i = 0; i < times; ++i)
            QVERIFY(QMetaObject::invokeMethod(Main<QTimer>(timer), "timeout"));
    }
    QString Stored() {
        return QString::fromStdString(
            base::ReadSetting(app_->configFile(), Text("canshu"), Text("youdianid")).ToUtf8());
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        boxes_.clear();
        opened_.clear();
        exits_.clear();
    }
    void cleanup() {
        app_.reset();
        dir_.reset();
    }

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
        QMetaObject::invokeMethod(qApp, [&] { release.set_value(); }, Qt::QueuedConnection);
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
        QTest::qWait(20);
        QVERIFY(!app_->mainWindow());
        // With no main window, closing the start window is the end of the program.
        app_->updateWindow()->close();
        QCOMPARE(exits_, std::vector<int>{0});
    }

    void supportButtonsFollowTheDayRule() {
        Make();
        StartAndSettle();
        for (const char* name : {"超级按钮_客服1", "超级按钮_客服2", "超级按钮_客服3"})
            Main<QAbstractButton>(name)->click();
        const int today = app::TodayDayOfMonth();
        QCOMPARE(opened_.size(), size_t(3));
        QCOMPARE(opened_[0], app::SupportButtonAddress(1, today));
        QCOMPARE(opened_[1], app::SupportButtonAddress(2, today));
        QVERIFY(opened_[0] != opened_[1]);
        QVERIFY(opened_[0].find("&amp;uin=") != std::string::npos);
        QCOMPARE(opened_[2], app::SupportChatLink(base::links::kSupportAccountC, false));
    }

    void picturesAndLinksOpenTheirPages() {
        Make();
        StartAndSettle();
        QTest::mouseClick(Main<QWidget>("图片框1"), Qt::LeftButton);
        QTest::mouseClick(Main<QWidget>("图片框1"), Qt::RightButton);
        QTest::mouseClick(Main<QWidget>("透明标签_Fernlane软件"), Qt::LeftButton);
        QTest::mouseClick(Main<QWidget>("透明标签_Tarnbay软件"), Qt::LeftButton);
        emit Main<QLabel>("超级链接框2")->linkActivated("#");
        QCOMPARE(opened_, (std::vector<std::string>{base::links::kForumHome, base::links::kForumFernlane,
                                                    base::links::kForumTarnbay, base::links::kMakerTutorial}));
    }

    void leavingTheShopIdBoxStoresItTrimmedEveryTime() {
        Make();
        StartAndSettle();
        auto* shopId = Main<QLineEdit>("编辑框_优店ID");
        auto* other = Main<QLineEdit>("编辑框_最多页");
        const std::pair<QString, QString> cases[] = {{" 777 ", "777"}, {"777", "777"}, {"", ""}};
        for (const auto& [typed, stored] : cases) {
            QFile::remove(QString::fromStdString(app_->configFile()));
            shopId->setText(typed);
            shopId->setFocus();
            QTRY_VERIFY(shopId->hasFocus());
            other->setFocus();
            QTRY_VERIFY(QFile::exists(QString::fromStdString(app_->configFile())));
            QCOMPARE(Stored(), stored);
        }
    }

    void openAndSaveAreNotAvailableYet() {
        Make();
        StartAndSettle();
        Main<QAbstractButton>("按钮_导入优店宝贝ID1")->click();
        Main<QAbstractButton>("按钮_导入优店宝贝ID2")->click();
        QCOMPARE(boxes_.size(), size_t(2));
        for (const Box& box : boxes_) {
            QCOMPARE(box.text, QString("此功能尚未开放，请等待以后版本！"));
            QCOMPARE(box.style, base::kIconInformation);
            QCOMPARE(box.caption, QString("提示"));
        }
    }

    void theSoundPreviewPlaysOnlyWhenTicking() {
        Make();
        StartAndSettle();
        auto* box = Main<QAbstractButton>("选择框_提示音");
        box->click();
        QVERIFY(box->isChecked());
        QCOMPARE(app_->soundsPlayed(), 1);
        box->click();
        QVERIFY(!box->isChecked());
        QCOMPARE(app_->soundsPlayed(), 1);
    }

    void theAlertFileGoesToTheTemporaryDirectory() {
        // Not the current directory: it may be read-only (no sound at all), and the program ends without
        // destructors, so a file there would be left beside the update files.
        shell::AlertSound sound;
        const QFileInfo pattern(sound.FilePattern());
        QVERIFY2(pattern.isAbsolute(), qPrintable(pattern.filePath()));
        QCOMPARE(pattern.absolutePath(), QDir::temp().absolutePath());
    }

    void theNewsPageReloadsEveryFifthTick() {
        Make();
        StartAndSettle();
        auto* news = Main<QTextBrowser>("超文本浏览框2");
        Tick("时钟_在线统计", 4);
        QCOMPARE(news->property("reloads").toInt(), 0);
        Tick("时钟_在线统计");
        QCOMPARE(news->property("reloads").toInt(), 1);
        Tick("时钟_在线统计", 5);
        QCOMPARE(news->property("reloads").toInt(), 2);
        QCOMPARE(Main<QTimer>("时钟_在线统计")->interval(), 120000);
    }

    void exitAndClosingEndTheProgramWithCodeZero() {
        Make();
        StartAndSettle();
        auto* menu = Main<QMenu>("托盘菜单");
        QCOMPARE(menu->actions().last()->text(), QString("退出"));
        menu->actions().last()->trigger();
        QCOMPARE(exits_, std::vector<int>{0});
        QVERIFY(!app_->mainWindow()->isVisible());

        Make();
        StartAndSettle();
        app_->mainWindow()->close();
        QCOMPARE(exits_, (std::vector<int>{0, 0}));
    }

    void trayMenuEntriesOpenTheirPages() {
        Make();
        StartAndSettle();
        const auto actions = Main<QMenu>("托盘菜单")->actions();
        for (int i = 0; i < 4; ++i)
            actions[i]->trigger();
        QCOMPARE(opened_, (std::vector<std::string>{base::links::kForumFernlane, base::links::kForumTarnbay,
                                                    app::SupportChatLink(base::links::kSupportAccountA, false),
                                                    base::links::kMakerHelp}));
        QVERIFY(exits_.empty());
    }

    void eventsReachTheirHooks() {
        Make();
        StartAndSettle();
        std::map<std::string, int> calls;
        auto& h = app_->hooks();
        const auto count = [&](const char* name) { return [&calls, name] { ++calls[name]; }; };
        h.queryStart = count("queryStart");
        h.stopQuery = count("stopQuery");
        h.shopLoad = count("shopLoad");
        h.pageLimitFocus = count("pageLimitFocus");
        h.pageLimitChanged = count("pageLimitChanged");
        h.intervalChanged = count("intervalChanged");
        h.monitorModeChanged = count("monitorModeChanged");
        h.monitorTick = count("monitorTick");
        h.updateTimer1Tick = count("updateTimer1Tick");
        h.updateTimer2Tick = count("updateTimer2Tick");

        Main<QAbstractButton>("按钮_查询大类排名")->click();
        Main<QAbstractButton>("按钮_停止查询1")->click();
        Main<QAbstractButton>("按钮_停止查询")->click();
        Main<QAbstractButton>("按钮_自动加载全店宝贝ID")->click();
        Main<QLineEdit>("编辑框_最多页")->setFocus();
        QTRY_COMPARE(calls["pageLimitFocus"], 1);
        Main<QLineEdit>("编辑框_最多页")->setText("50");
        auto* interval = Main<QLineEdit>("编辑框_检索间隔");
        interval->selectAll();
        QTest::keyClicks(interval, "20");
        QCOMPARE(calls["intervalChanged"], 0);
        QTest::keyClick(interval, Qt::Key_Return);
        Main<QAbstractButton>("单选框_自动监测")->click();
        Main<QAbstractButton>("单选框_手动查询")->click();
        Tick("时钟_监测间隔");
        // The tick's action runs once its timer event is over.
        QCOMPARE(calls["monitorTick"], 0);
        QTRY_COMPARE(calls["monitorTick"], 1);
        QVERIFY(QMetaObject::invokeMethod(app_->updateWindow()->findChild<QTimer*>("时钟1"), "timeout"));
        QVERIFY(QMetaObject::invokeMethod(app_->updateWindow()->findChild<QTimer*>("时钟2"), "timeout"));
        // Buttons without an action of their own do nothing.
        for (const char* name : {"按钮_查询小类排名", "按钮_导入优店宝贝ID", "按钮_添加小分类"})
            Main<QAbstractButton>(name)->click();

        const std::map<std::string, int> expected = {
            {"queryStart", 1},       {"stopQuery", 2},       {"shopLoad", 1},           {"pageLimitFocus", 1},
            {"pageLimitChanged", 1}, {"intervalChanged", 1}, {"monitorModeChanged", 2}, {"monitorTick", 1},
            {"updateTimer1Tick", 1}, {"updateTimer2Tick", 1}};
        QCOMPARE(calls, expected);
        QVERIFY(boxes_.empty());
        QVERIFY(opened_.empty());
    }

    void theTabIsLockedWhileLoadingAndTheMonitoringFollowsAnySelection() {
        Make();
        std::atomic<bool> release{false};
        app_->hooks().backgroundCheck = [&](const std::function<void(int)>& finish) {
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            finish(0);
        };
        int modeChanges = 0;
        app_->hooks().monitorModeChanged = [&] { ++modeChanges; };
        app_->Start();
        QTRY_VERIFY(app_->mainWindow() && app_->mainWindow()->isVisible());
        // The worker is running: the shop ID box, the sorts and the monitoring mode are out of reach.
        QTRY_COMPARE(Main<QTimer>("时钟_网站配置")->isActive(), false);
        QVERIFY(!Main<QWidget>("选择夹1")->isEnabled());
        QVERIFY(!Main<QWidget>("编辑框_优店ID")->isEnabled());
        release = true;
        QTRY_VERIFY(Main<QWidget>("选择夹1")->isEnabled());
        QVERIFY(Main<QWidget>("单选框_自动监测")->isEnabled());

        // A selection made by the program counts as one made by a click.
        modeChanges = 0;
        auto& c = app_->controls();
        c.SetChecked(base::kMainWindow, "单选框_自动监测", true);
        QCOMPARE(modeChanges, 1);
        c.SetChecked(base::kMainWindow, "单选框_手动查询", true);
        QCOMPARE(modeChanges, 2);
        QTest::keyClick(Main<QWidget>("单选框_手动查询"), Qt::Key_Space); // already selected: no change
        QCOMPARE(modeChanges, 2);
    }

    void rightClickOnTheListPopsTheContextMenu() {
        Make();
        StartAndSettle();
        emit Main<QTreeWidget>("超级列表框1")->customContextMenuRequested(QPoint(10, 10));
        auto* menu = Main<QMenu>("右键菜单");
        QTRY_VERIFY(menu->isVisible());
        menu->actions().first()->trigger();
        menu->hide();
        QVERIFY(opened_.empty());
        QVERIFY(exits_.empty());
    }

    // The tray may be there when the window is made, or come up later (a panel started after the program or
    // restarted); the window hides only while the icon is in it, and comes back when the tray goes.
    void theWindowHidesOnlyIntoATrayShowingTheIcon_data() {
        QTest::addColumn<bool>("trayFirst");
        QTest::newRow("tray before the window") << true;
        QTest::newRow("tray after the window") << false;
    }
    void theWindowHidesOnlyIntoATrayShowingTheIcon() {
        QFETCH(bool, trayFirst);
        auto tray = std::make_shared<std::atomic<bool>>(trayFirst);
        Make(std::nullopt, [tray] { return tray->load(); });
        StartAndSettle();
        QWidget* main = app_->mainWindow();
        QCOMPARE(app_->trayIcon()->isVisible(), trayFirst);
        if (!trayFirst) {
            main->showMinimized();
            DrainEvents();
            QVERIFY(main->isVisible());
            QCOMPARE(app_->balloonsShown(), 0);
            main->showNormal();
            *tray = true;
            QTRY_VERIFY(app_->trayIcon()->isVisible());
        }
        main->showMinimized();
        QTRY_VERIFY(!main->isVisible());
        QCOMPARE(app_->balloonsShown(), 1);

        *tray = false;
        QTRY_VERIFY(!app_->trayIcon()->isVisible());
        QVERIFY(main->isVisible());
        QVERIFY(main->isMinimized());
    }

    void minimisingWithoutATrayKeepsTheWindowReachable() {
        Make(false);
        StartAndSettle();
        QWidget* main = app_->mainWindow();
        main->showMinimized();
        QTest::qWait(50);
        QVERIFY(main->isMinimized());
        QVERIFY(main->isVisible());
        QCOMPARE(app_->balloonsShown(), 0);
    }

    void minimisingWithATrayHidesAndTheTrayBringsItBack() {
        Make(true);
        StartAndSettle();
        QWidget* main = app_->mainWindow();
        QCOMPARE(app_->trayIcon()->toolTip(), QString::fromStdString(app::TrayTip().ToUtf8()));
        main->showMinimized();
        QTRY_VERIFY(!main->isVisible());
        QCOMPARE(app_->balloonsShown(), 1);

        app_->TrayEvent(app::TrayMouse::LeftDown);
        QVERIFY(main->isVisible());
        QVERIFY(!main->isMinimized());
        QVERIFY(!main->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

        app_->TrayEvent(app::TrayMouse::LeftDoubleClick);
        QCOMPARE(opened_, std::vector<std::string>{base::links::kMakerSite});
        app_->TrayEvent(app::TrayMouse::RightDown);
        QTRY_VERIFY(Main<QMenu>("托盘菜单")->isVisible());
        Main<QMenu>("托盘菜单")->hide();
    }

    // What a screen reader hears: each label's current text, captions as shown, the windows as frames.
    void assistiveTechnologyReadsWhatTheLabelsShow() {
        Make();
        StartAndSettle();
        auto& c = app_->controls();
        const auto name = [](QObject* o) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(o);
            return a ? a->text(QAccessible::Name) : QString("<none>");
        };
        c.SetStatusText(base::kMainWindow, "状态条1", 0, " 正在查询"_gbk);
        c.SetStatusText(base::kMainWindow, "状态条1", 1, " 宝贝ID加载完成，总共加载了45个宝贝ID。"_gbk);
        c.SetText(base::kMainWindow, "标签_宝贝ID个数", Text("45"));
        c.SetText(base::kMainWindow, "标签_进度提示", "正在查询第3个，宝贝ID:52000103"_gbk);
        c.SetText(base::kUpdateWindow, "标签4", "已完成:42%"_gbk);

        auto* status = dynamic_cast<shell::PartStatusBar*>(Main<QWidget>("状态条1"));
        QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(status);
        QVERIFY(bar);
        QStringList heard;
        for (int i = 0; i < bar->childCount(); ++i)
            heard << bar->child(i)->text(QAccessible::Name);
        QCOMPARE(heard, (QStringList{" 正在查询", " 宝贝ID加载完成，总共加载了45个宝贝ID。"}));
        QCOMPARE(name(Main<QWidget>("标签_宝贝ID个数")), QString("45"));
        QCOMPARE(name(Main<QWidget>("标签_进度提示")), QString("正在查询第3个，宝贝ID:52000103"));
        QCOMPARE(name(app_->updateWindow()->findChild<QWidget*>("标签4")), QString("已完成:42%"));
        QCOMPARE(name(Main<QWidget>("标签7")), QString("宝贝ID个数:"));
        QCOMPARE(
            QAccessible::queryAccessibleInterface(Main<QWidget>("标签_宝贝ID个数"))->text(QAccessible::Description),
            QString("标签_宝贝ID个数"));
        for (QWidget* window :
             {static_cast<QWidget*>(app_->mainWindow()), static_cast<QWidget*>(app_->updateWindow())}) {
            QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(window);
            QCOMPARE(frame->role(), QAccessible::Window);
            QCOMPARE(frame->text(QAccessible::Name), window->windowTitle());
        }
    }

    // Part 0 is 126 pixels wide: every state fits it at the counts of a large shop, and the sentence behind
    // the state waits in its tip and is what assistive tools describe it by.
    void statePartFitsItsTextsAndHoldsTheSentence() {
        Make();
        StartAndSettle();
        auto& c = app_->controls();
        auto* status = dynamic_cast<shell::PartStatusBar*>(Main<QWidget>("状态条1"));
        QLabel* part = status->part(0);
        const int usual = QFontInfo(status->font()).pixelSize();
        const std::pair<const char*, bool> states[] = {
            {" 正在查询", false},           {" 查询完成 45/45", false},      {" 查询未完成 999/999", false},
            {" 查询完成 5000/5000", false}, {" 查询未完成 5000/5000", true}, {" 已停止 5000/5000", false},
            {" 查询完成 45/45", false}};
        for (const auto& [state, smaller] : states) {
            c.SetStatusText(base::kMainWindow, "状态条1", 0, Text::FromUtf8(state));
            DrainEvents();
            QCOMPARE(part->text(), QString(state));
            QVERIFY2(part->sizeHint().width() <= part->width(),
                     qPrintable(QString("%1: %2 px").arg(state).arg(part->sizeHint().width())));
            // Smaller only where the usual size would not fit.
            QCOMPARE(QFontInfo(part->font()).pixelSize() < usual, smaller);
        }
        const QString sentence = "11 个请求失败（连接被拒绝），5/45 个宝贝已找到，其余未查完";
        const auto description = [part] {
            return QAccessible::queryAccessibleInterface(part)->text(QAccessible::Description);
        };
        c.SetToolTip(base::kMainWindow, "状态条1#0", Text::FromUtf8(sentence.toStdString()));
        DrainEvents();
        QCOMPARE(part->toolTip(), sentence);
        QCOMPARE(description(), sentence);
        // Read when the user looks, never popped up: a pass may end while the user works elsewhere.
        QVERIFY(!QToolTip::isVisible());
        QVERIFY(!app_->mainWindow()->findChild<QLabel*>("hintTip"));
        c.SetToolTip(base::kMainWindow, "状态条1#0", Text());
        DrainEvents();
        QCOMPARE(part->toolTip(), QString());
        QCOMPARE(description(), QString("程序状态"));
        QCOMPARE(status->part(1)->toolTip(), QString());
    }

    // Qt's own dialogs in the user's language, and back when the language has no words of Qt's.
    void qtDialogsSpeakTheUsersLanguage() {
        Make();
        const auto fileDialogWords = [] {
            QFileDialog dialog;
            dialog.setOption(QFileDialog::DontUseNativeDialog);
            dialog.setAcceptMode(QFileDialog::AcceptSave);
            QStringList words;
            for (QLabel* label : dialog.findChildren<QLabel*>())
                words << label->text();
            for (QAbstractButton* button : dialog.findChildren<QPushButton*>())
                words << button->text();
            return words.join('|');
        };
        QVERIFY(shell::InstallQtTranslations(QLocale(QLocale::Chinese, QLocale::China)));
        const QString chinese = fileDialogWords();
        QVERIFY2(chinese.contains("取消") && chinese.contains("文件名"), qPrintable(chinese));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("取消"));
        QVERIFY(!shell::InstallQtTranslations(QLocale::c()));
        QVERIFY2(fileDialogWords().contains("Cancel"), qPrintable(fileDialogWords()));
    }

    void aWorkerThreadsWritesLandOnTheWindowThread() {
        Make();
        StartAndSettle();
        auto* edit = Main<QLineEdit>("编辑框_优店ID");
        QThread* writer = nullptr;
        connect(
            edit, &QLineEdit::textChanged, this, [&] { writer = QThread::currentThread(); }, Qt::DirectConnection);
        auto& controls = app_->controls();
        Text readBack;
        std::atomic<int> row{-1};
        std::thread worker([&] {
            controls.SetText(base::kMainWindow, "编辑框_优店ID", "优店"_gbk);
            readBack = controls.GetText(base::kMainWindow, "编辑框_优店ID");
            const int added = controls.AddRow(base::kMainWindow, "超级列表框1", Text("1"));
            controls.SetCellText(base::kMainWindow, "超级列表框1", added, 2, "在第"_gbk);
            row = added;
        });
        // The worker's calls wait for the window thread, which keeps turning here.
        QTRY_VERIFY(row >= 0);
        worker.join();
        QCOMPARE(writer, qApp->thread());
        QCOMPARE(readBack, "优店"_gbk);
        QTRY_COMPARE(Main<QTreeWidget>("超级列表框1")->topLevelItem(row)->text(2), QString("在第"));
    }

    void listCellColoursAndPaletteColours() {
        Make();
        StartAndSettle();
        auto& c = app_->controls();
        auto* list = Main<QTreeWidget>("超级列表框1");
        QCOMPARE(c.ListTextColour(base::kMainWindow, "超级列表框1"),
                 shell::QtControls::ToColour(list->palette().color(QPalette::Text)));
        QCOMPARE(c.ListBackgroundColour(base::kMainWindow, "超级列表框1"),
                 shell::QtControls::ToColour(list->palette().color(QPalette::Base)));
        const int row = c.AddRow(base::kMainWindow, "超级列表框1", Text("1"));
        c.SetCellColours(base::kMainWindow, "超级列表框1", row, 3, base::Rgb(255, 255, 255), base::Rgb(255, 0, 0));
        QCOMPARE(list->topLevelItem(row)->foreground(3).color(), QColor(255, 255, 255));
        QCOMPARE(list->topLevelItem(row)->background(3).color(), QColor(255, 0, 0));
        // Out of range cells are ignored rather than crash.
        c.SetCellColours(base::kMainWindow, "超级列表框1", 5, 3, 0, 0);
        c.SetCellText(base::kMainWindow, "超级列表框1", row, 9, Text("x"));
        QCOMPARE(c.CellText(base::kMainWindow, "超级列表框1", 7, 0), Text());
        QCOMPARE(c.RowCount(base::kMainWindow, "超级列表框1"), 1);
        c.DeleteAllRows(base::kMainWindow, "超级列表框1");
        QCOMPARE(c.RowCount(base::kMainWindow, "超级列表框1"), 0);
    }

    void unknownControlsReadEmptyAndIgnoreWrites() {
        Make();
        StartAndSettle();
        auto& c = app_->controls();
        c.SetText(base::kMainWindow, "没有这个控件", Text("x"));
        QCOMPARE(c.GetText(base::kMainWindow, "没有这个控件"), Text());
        QCOMPARE(c.IsChecked("NoSuchWindow", "选择框_提示音"), false);
        QCOMPARE(c.ComboSelection(base::kMainWindow, "没有这个控件"), -1);
        QCOMPARE(c.RowCount(base::kMainWindow, "没有这个控件"), -1);
        c.SetCurrentTab(base::kMainWindow, "选择夹1", 7);
        QCOMPARE(dynamic_cast<shell::TabControl*>(Main<QWidget>("选择夹1"))->currentIndex(), 0);
        c.SelectComboEntry(base::kMainWindow, "组合框_大分类", 3);
        QCOMPARE(
            c.ComboEntryText(base::kMainWindow, "组合框_大分类", c.ComboSelection(base::kMainWindow, "组合框_大分类")),
            "配饰"_gbk);
        c.SetTimerInterval(base::kMainWindow, "时钟_监测间隔", 60000);
        QCOMPARE(c.TimerInterval(base::kMainWindow, "时钟_监测间隔"), 60000);
        c.SetTimerInterval(base::kMainWindow, "时钟_监测间隔", 0);
        QCOMPARE(c.TimerInterval(base::kMainWindow, "时钟_监测间隔"), 0);
    }

    void theRealMessageBoxHasCaptionIconAndAnswersOk() {
        Make();
        app_->messageBox = nullptr;
        StartAndSettle();
        QString title;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                title = box->windowTitle();
                icon = box->icon();
                box->button(QMessageBox::Ok)->click();
            }
        });
        closer.start(10);
        const int answer = app_->controls().MessageBox("无法连接到服务器!部分功能可能无法使用"_gbk,
                                                       base::kIconExclamation, "提示"_gbk);
        QCOMPARE(answer, base::kButtonOk);
        QCOMPARE(title, QString("提示"));
        QCOMPARE(icon, QMessageBox::Warning);
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
    ShellEventsTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "shell_events_test.moc"
