// The event actions of the main window and its tray behaviour, on a real Application.
#include "tests/gui/shell_fixture.h"

// moc needs none of the program's headers, and its own parser stumbles over the C++20 library ones.
#ifndef Q_MOC_RUN
#include "app/main_actions.h"
#include "app/qt/alert_sound.h"
#include "base/endpoints.h"
#endif

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTextBrowser>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <atomic>
#include <map>

using namespace rankmoth;
using shell::Application;

class ShellEventsTest : public QObject, protected testing::ShellFixture {
    Q_OBJECT

private slots:
    void init() { Begin(); }
    void cleanup() { End(); }

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
        QTRY_VERIFY(main->isMinimized());
        // The hide that a tray would allow is queued from the state change: let it run, if it was queued.
        DrainEvents();
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
};

QTEST_MAIN(ShellEventsTest)
#include "shell_events_test.moc"
