#include "app/main_actions.h"

#include "app/endpoints.h"
#include "app/settings.h"
#include "web/text.h"

#include <ctime>

namespace rankmoth::app {

std::string SupportChatLink(std::string_view account, bool ampersandsAsEntities) {
    const std::string amp = ampersandsAsEntities ? "&amp;" : "&";
    return std::string(links::kChatAddress) + "/msgrd?v=3" + amp + "uin=" + std::string(account) + amp + "site=qq" +
           amp + "menu=yes";
}

std::string SupportButtonAddress(int button, int dayOfMonth) {
    const bool odd = dayOfMonth % 2 != 0;
    switch (button) {
    case 1:
        return SupportChatLink(odd ? links::kSupportAccountA : links::kSupportAccountB, true);
    case 2:
        return SupportChatLink(odd ? links::kSupportAccountB : links::kSupportAccountA, true);
    case 3:
        return SupportChatLink(links::kSupportAccountC, false);
    default:
        return {};
    }
}

int TodayDayOfMonth() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_mday;
}

bool NewsReloadCounter::Tick() {
    count_ += 2;
    if (count_ < 10)
        return false;
    count_ = 0;
    return true;
}

void StoreShopId(Controls& controls, const std::string& configFile) {
    WriteSetting(configFile, Text("canshu"), Text("youdianid"),
                 TrimSpaces(controls.GetText(kMainWindow, "编辑框_优店ID")));
}

void OnAlertBoxClicked(Controls& controls) {
    if (controls.IsChecked(kMainWindow, "选择框_提示音"))
        controls.PlayAlertSound();
}

void ShowNotYetAvailable(Controls& controls) {
    controls.MessageBox("此功能尚未开放，请等待以后版本！"_gbk, kIconInformation, "提示"_gbk);
}

void OnTrayMenuEntry(Controls& controls, TrayMenuEntry entry) {
    switch (entry) {
    case TrayMenuEntry::DownloadFernlane:
        controls.OpenAddress(links::kForumFernlane);
        break;
    case TrayMenuEntry::DownloadTarnbay:
        controls.OpenAddress(links::kForumTarnbay);
        break;
    case TrayMenuEntry::Agent:
        controls.OpenAddress(SupportChatLink(links::kSupportAccountA, false));
        break;
    case TrayMenuEntry::Help:
        controls.OpenAddress(links::kMakerHelp);
        break;
    case TrayMenuEntry::Exit:
        // Closing the main window is what ends the program.
        controls.CloseWindow(kMainWindow);
        break;
    }
}

bool OpenLinkOf(Controls& controls, std::string_view control) {
    std::string address;
    if (control == "超级按钮_客服1")
        address = SupportButtonAddress(1, TodayDayOfMonth());
    else if (control == "超级按钮_客服2")
        address = SupportButtonAddress(2, TodayDayOfMonth());
    else if (control == "超级按钮_客服3")
        address = SupportButtonAddress(3, TodayDayOfMonth());
    else if (control == "透明标签_Tarnbay软件")
        address = links::kForumTarnbay;
    else if (control == "透明标签_Fernlane软件")
        address = links::kForumFernlane;
    else if (control == "图片框1")
        address = links::kForumHome;
    else if (control == "超级链接框1")
        address = links::kMakerHelp;
    else if (control == "超级链接框2")
        address = links::kMakerTutorial;
    if (address.empty())
        return false;
    controls.OpenAddress(address);
    return true;
}

} // namespace rankmoth::app
