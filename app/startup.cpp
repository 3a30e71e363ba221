#include "app/startup.h"

#include "base/control_names.h"
#include "base/endpoints.h"
#include "base/settings.h"

#include <chrono>

namespace rankmoth::app {

namespace names = base::names::main_window;

Text MainWindowTitle() {
    return "Rankmoth V"_gbk + Text(kAppVersion) + "  客服QQ:"_gbk + Text(base::links::kSupportAccountA) + " 或 "_gbk +
           Text(base::links::kSupportAccountB);
}

Text UpdateWindowTitle() {
    return "软件正在更新..请稍等..."_gbk;
}

Text TrayTip() {
    return "Pellwood旗下软件\r\n名称：Rankmoth\r\nPellwood网址："_gbk + Text(base::links::kMakerSite);
}

Text BalloonTitle() {
    return Text("Rankmoth V") + Text(kAppVersion);
}

Text BalloonText() {
    return "当前版本："_gbk + Text(kAppVersion) + "  发布时间："_gbk + Text(base::WindowDateOf(base::kReleaseDate)) +
           "\r\n-------------\r\nPellwood网址："_gbk + Text(base::links::kMakerSite);
}

void OnMainWindowCreated(base::Controls& controls) {
    controls.SetTimerInterval(base::kMainWindow, names::kSiteConfigTimer, 10);
    controls.SetStatusText(base::kMainWindow, names::kStatusBar, 0, " 正在加载配置..."_gbk);
    controls.SetStatusText(base::kMainWindow, names::kStatusBar, 1, " 界面已锁定，请等待加载完成！大约需要1-10秒"_gbk);
    // The lock the status text announces: the loading resets the sort, the categories, the monitoring mode
    // and the shop ID, so nothing on the tab may be changed before it is done.
    controls.SetEnabled(base::kMainWindow, names::kTabs, false);
}

void StopStartupTimer(base::Controls& controls) {
    controls.SetTimerInterval(base::kMainWindow, names::kSiteConfigTimer, 0);
}

void FinishStartupLoading(base::Controls& controls, const std::function<void()>& loadSubCategories, int startTab,
                          const std::string& currentDirectory, const std::string& configFile) {
    controls.SetFocus(base::kMainWindow, names::kKeywordBox);
    controls.SelectComboEntry(base::kMainWindow, names::kCategoryCombo, 0);
    controls.SetChecked(base::kMainWindow, names::kManualRadio, true);
    controls.SetChecked(base::kMainWindow, names::kPopRadio, true);
    if (loadSubCategories)
        loadSubCategories();
    controls.SelectComboEntry(base::kMainWindow, names::kSubCategoryCombo, 0);
    controls.SetText(base::kMainWindow, names::kFileDialog, Text::FromUtf8(currentDirectory));
    controls.SetText(base::kMainWindow, names::kShopIdBox,
                     base::ReadSetting(configFile, Text("canshu"), Text("youdianid")));
    controls.SetCurrentTab(base::kMainWindow, names::kTabs, startTab);
    controls.SetEnabled(base::kMainWindow, names::kTabs, true);
    // The loading texts would otherwise stand for the whole session.
    controls.SetStatusText(base::kMainWindow, names::kStatusBar, 0, " 就绪"_gbk);
    controls.SetStatusText(base::kMainWindow, names::kStatusBar, 1, " 加载完成"_gbk);
}

void OnTrayEvent(base::Controls& controls, base::EventPump& pump, TrayMouse event) {
    using namespace std::chrono_literals;
    switch (event) {
    case TrayMouse::RightDown:
        controls.PopupMenuAtCursor(base::kMainWindow, names::kTrayMenu);
        break;
    case TrayMouse::LeftDown:
        if (!controls.IsWindowVisible(base::kMainWindow)) {
            controls.SetWindowVisible(base::kMainWindow, true);
            controls.SetWindowPlacement(base::kMainWindow, base::Placement::Normal);
        }
        // A moment on top brings the window in front of whatever covers it, without pinning it there.
        controls.SetAlwaysOnTop(base::kMainWindow, true);
        pump.PumpingWait(1s);
        controls.SetAlwaysOnTop(base::kMainWindow, false);
        break;
    case TrayMouse::LeftDoubleClick:
        controls.OpenAddress(base::links::kMakerSite);
        break;
    case TrayMouse::Other:
        break;
    }
}

bool HidesToTray(base::Placement placement, bool trayIconShown) {
    return placement == base::Placement::Minimised && trayIconShown;
}

} // namespace rankmoth::app
