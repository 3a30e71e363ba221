#include "app/startup.h"

#include "base/control_names.h"
#include "base/endpoints.h"
#include "base/settings.h"
#include "base/version.h"
#include "tests/support/fake_controls.h"
#include "tests/support/fake_pump.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

namespace rankmoth::app {
namespace {

using testing::FakeControls;
using testing::FakePump;
using testing::TempFolder;
using namespace std::chrono_literals;
using base::names::main_window::kSiteConfigTimer;
using base::names::main_window::kStatusBar;
constexpr auto kTabControl = base::names::main_window::kTabs;

TEST(StartupTexts, CarryVersionAccountsAndMakerSite) {
    EXPECT_EQ(MainWindowTitle(), "Rankmoth V1.1  客服QQ:800100201 或 800100202"_gbk);
    EXPECT_EQ(BalloonTitle(), Text("Rankmoth V1.1"));
    const Text balloon = BalloonText();
    EXPECT_EQ(Find(balloon, "当前版本：1.1"_gbk), 1);
    EXPECT_NE(Find(balloon, "  发布时间：2013.12.1\r\n-------------\r\n"_gbk), -1);
    EXPECT_EQ(Right(balloon, static_cast<int>(std::string(base::links::kMakerSite).size())), Text(base::links::kMakerSite));
    EXPECT_EQ(TrayTip(), "Pellwood旗下软件\r\n名称：Rankmoth\r\nPellwood网址："_gbk + Text(base::links::kMakerSite));
    EXPECT_EQ(UpdateWindowTitle(), "软件正在更新..请稍等..."_gbk);
}

// Every text that names the release takes it from the generated version header, so that a new
// project(VERSION) or release date reaches the window's title and tray balloon at once.
TEST(StartupTexts, NameTheReleaseOfTheVersionHeader) {
    const Text version(base::WindowVersionOf(base::kVersion));
    const Text date(base::WindowDateOf(base::kReleaseDate));
    ASSERT_FALSE(version.empty());
    ASSERT_FALSE(date.empty());
    const struct {
        const char* name;
        Text text;
        Text part;
    } cases[] = {
        {"title", MainWindowTitle(), Text("Rankmoth V") + version + Text("  ")},
        {"balloon title", BalloonTitle(), Text("Rankmoth V") + version},
        {"balloon version", BalloonText(), "当前版本："_gbk + version + Text("  ")},
        {"balloon date", BalloonText(), "发布时间："_gbk + date + Text("\r\n")},
    };
    for (const auto& c : cases)
        EXPECT_NE(Find(c.text, c.part), -1) << c.name;
}

TEST(StartupTexts, FitTheirTrayBuffers) {
    // The tray keeps a 128-byte tip, a 64-byte balloon title and a 256-byte balloon body, each with its end.
    EXPECT_LT(TrayTip().size(), 128u);
    EXPECT_LT(BalloonTitle().size(), 64u);
    EXPECT_LT(BalloonText().size(), 256u);
}

TEST(MainWindowCreation, ArmsTheOneShotTimerAnnouncesTheLoadingAndLocksTheTab) {
    FakeControls controls;
    OnMainWindowCreated(controls);
    EXPECT_FALSE(controls.Control(base::kMainWindow, kTabControl).enabled);
    EXPECT_EQ(controls.Control(base::kMainWindow, kSiteConfigTimer).timerInterval, 10);
    const auto status = controls.Control(base::kMainWindow, kStatusBar).statusParts;
    EXPECT_EQ(status.at(0), " 正在加载配置..."_gbk);
    EXPECT_EQ(status.at(1), " 界面已锁定，请等待加载完成！大约需要1-10秒"_gbk);

    StopStartupTimer(controls);
    EXPECT_EQ(controls.Control(base::kMainWindow, kSiteConfigTimer).timerInterval, 0);
}

TEST(FinishStartupLoading, SetsTheDefaultsInOrderAndRestoresTheShopId) {
    TempFolder dir;
    const std::string config = dir.file("config.ini");
    ASSERT_TRUE(base::WriteSetting(config, Text("canshu"), Text("youdianid"), Text("12 345")));

    FakeControls controls;
    controls.AddRadioGroup(base::kMainWindow, {"单选框_先查潮流", "单选框_先查最热", "单选框_先查最新"});
    controls.AddRadioGroup(base::kMainWindow, {"单选框_自动监测", "单选框_手动查询"});
    controls.SetChecked(base::kMainWindow, "单选框_先查最新", true);
    controls.SetChecked(base::kMainWindow, "单选框_自动监测", true);
    for (const char* entry : {"衣服", "鞋子"})
        controls.AddComboEntry(base::kMainWindow, "组合框_大分类", Text::FromUtf8(entry));
    controls.SetEnabled(base::kMainWindow, kTabControl, false);

    int loads = 0;
    FinishStartupLoading(
        controls,
        [&] {
            ++loads;
            // The sub-categories are in place before their box is given a selection.
            EXPECT_EQ(controls.Control(base::kMainWindow, "组合框_小分类").comboSelection, -1);
            controls.AddComboEntry(base::kMainWindow, "组合框_小分类", Text("50010850"));
        },
        1, "/work/dir", config);

    EXPECT_EQ(loads, 1);
    EXPECT_EQ(controls.FocusedControl(), "MainWindow/编辑框_关键词");
    EXPECT_EQ(controls.Control(base::kMainWindow, "组合框_大分类").comboSelection, 0);
    EXPECT_EQ(controls.Control(base::kMainWindow, "组合框_小分类").comboSelection, 0);
    EXPECT_TRUE(controls.IsChecked(base::kMainWindow, "单选框_手动查询"));
    EXPECT_FALSE(controls.IsChecked(base::kMainWindow, "单选框_自动监测"));
    EXPECT_TRUE(controls.IsChecked(base::kMainWindow, "单选框_先查潮流"));
    EXPECT_FALSE(controls.IsChecked(base::kMainWindow, "单选框_先查最新"));
    EXPECT_EQ(controls.GetText(base::kMainWindow, "通用对话框1"), Text("/work/dir"));
    // The value comes back as the file holds it: spaces are removed only when it is stored.
    EXPECT_EQ(controls.GetText(base::kMainWindow, "编辑框_优店ID"), Text("12 345"));
    EXPECT_EQ(controls.Control(base::kMainWindow, kTabControl).currentTab, 1);
    EXPECT_TRUE(controls.Control(base::kMainWindow, kTabControl).enabled);
    // The loading texts give way once everything is in place.
    const auto status = controls.Control(base::kMainWindow, kStatusBar).statusParts;
    EXPECT_EQ(status.at(0), " 就绪"_gbk);
    EXPECT_EQ(status.at(1), " 加载完成"_gbk);
    const auto history = controls.TextHistory();
    ASSERT_GE(history.size(), 2u);
    EXPECT_EQ(history[history.size() - 2].second, " 就绪"_gbk);
    EXPECT_EQ(history.back().second, " 加载完成"_gbk);
}

TEST(FinishStartupLoading, WorksWithoutSettingsFileOrSubCategoryLoader) {
    TempFolder dir;
    FakeControls controls;
    controls.SetText(base::kMainWindow, "编辑框_优店ID", Text("stale"));
    FinishStartupLoading(controls, {}, 0, "/", dir.file("missing.ini"));
    EXPECT_EQ(controls.GetText(base::kMainWindow, "编辑框_优店ID"), Text());
    EXPECT_EQ(controls.Control(base::kMainWindow, kTabControl).currentTab, 0);
}

TEST(TrayEvents, EachMouseEventDoesItsOwnThing) {
    struct Case {
        const char* name;
        TrayMouse event;
        bool visibleBefore;
        bool visibleAfter;
        int menus;
        int addresses;
        std::chrono::microseconds waited;
    };
    const Case cases[] = {
        {"left click on a visible window", TrayMouse::LeftDown, true, true, 0, 0, 1s},
        {"left click on a hidden window", TrayMouse::LeftDown, false, true, 0, 0, 1s},
        {"double click", TrayMouse::LeftDoubleClick, false, false, 0, 1, 0s},
        {"right click", TrayMouse::RightDown, true, true, 1, 0, 0s},
        {"other button", TrayMouse::Other, false, false, 0, 0, 0s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeControls controls;
        FakePump pump;
        controls.LoadWindow(base::kMainWindow, true);
        controls.SetWindowVisible(base::kMainWindow, c.visibleBefore);
        if (!c.visibleBefore)
            controls.SetWindowPlacement(base::kMainWindow, base::Placement::Minimised);

        // On top for the length of the wait, and off again afterwards.
        bool onTopDuringWait = false;
        pump.Post([&] { onTopDuringWait = controls.Window(base::kMainWindow).onTop; });
        OnTrayEvent(controls, pump, c.event);

        const auto window = controls.Window(base::kMainWindow);
        EXPECT_EQ(window.visible, c.visibleAfter);
        EXPECT_EQ(static_cast<int>(window.menusPopped.size()), c.menus);
        EXPECT_EQ(static_cast<int>(controls.OpenedAddresses().size()), c.addresses);
        EXPECT_EQ(pump.totalWaited(), c.waited);
        EXPECT_FALSE(window.onTop);
        if (c.event == TrayMouse::LeftDown) {
            EXPECT_TRUE(onTopDuringWait);
            // A window brought back from the tray is no longer minimised; a visible one stays as it was.
            EXPECT_EQ(window.placement, base::Placement::Normal);
        }
    }
}

TEST(TrayEvents, RightClickPopsTheTrayMenuAndDoubleClickOpensTheMakerSite) {
    FakeControls controls;
    FakePump pump;
    OnTrayEvent(controls, pump, TrayMouse::RightDown);
    OnTrayEvent(controls, pump, TrayMouse::LeftDoubleClick);
    EXPECT_EQ(controls.Window(base::kMainWindow).menusPopped, std::vector<std::string>{"托盘菜单"});
    EXPECT_EQ(controls.OpenedAddresses(), std::vector<std::string>{base::links::kMakerSite});
}

TEST(HidesToTray, OnlyAMinimisedWindowWithATrayToComeBackFrom) {
    EXPECT_TRUE(HidesToTray(base::Placement::Minimised, true));
    EXPECT_FALSE(HidesToTray(base::Placement::Minimised, false));
    EXPECT_FALSE(HidesToTray(base::Placement::Normal, true));
    EXPECT_FALSE(HidesToTray(base::Placement::Normal, false));
}

// The window drops a write to a name it lacks without a word; the fake the whole suite runs on must not.
TEST(FakeControlNames, AMisspeltOrMisplacedNameFailsTheTest) {
    FakeControls controls;
    EXPECT_NONFATAL_FAILURE(controls.SetText(base::kMainWindow, "编辑框_最多叶", Text("1")), "编辑框_最多叶");
    // 进度条1 is a control of the update window only.
    EXPECT_NONFATAL_FAILURE(controls.SetProgress(base::kMainWindow, "进度条1", 5), "进度条1");
    EXPECT_NONFATAL_FAILURE(controls.Control(base::kUpdateWindow, "状态条1"), "状态条1");
    controls.SetProgress(base::kUpdateWindow, "进度条1", 5);
    controls.AllowAnyName();
    controls.SetText("AnyWindow", "any name", Text("1"));
    EXPECT_EQ(controls.Control("AnyWindow", "any name").text, Text("1"));
}

} // namespace
} // namespace rankmoth::app
