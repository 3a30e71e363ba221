#include "app/main_actions.h"

#include "base/control_names.h"
#include "base/endpoints.h"
#include "base/settings.h"
#include "base/text.h"

#include <ctime>

namespace rankmoth::app {

namespace names = base::names::main_window;

std::string SupportChatLink(std::string_view account, bool ampersandsAsEntities) {
    const std::string amp = ampersandsAsEntities ? "&amp;" : "&";
    return std::string(base::links::kChatAddress) + "/msgrd?v=3" + amp + "uin=" + std::string(account) + amp + "site=qq" +
           amp + "menu=yes";
}

std::string SupportButtonAddress(int button, int dayOfMonth) {
    const bool odd = dayOfMonth % 2 != 0;
    switch (button) {
    case 1:
        return SupportChatLink(odd ? base::links::kSupportAccountA : base::links::kSupportAccountB, true);
    case 2:
        return SupportChatLink(odd ? base::links::kSupportAccountB : base::links::kSupportAccountA, true);
    case 3:
        return SupportChatLink(base::links::kSupportAccountC, false);
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

void StoreShopId(base::Controls& controls, const std::string& configFile) {
    base::WriteSetting(configFile, Text("canshu"), Text("youdianid"),
                       TrimSpaces(controls.GetText(base::kMainWindow, names::kShopIdBox)));
}

void OnAlertBoxClicked(base::Controls& controls) {
    if (controls.IsChecked(base::kMainWindow, names::kSoundBox))
        controls.PlayAlertSound();
}

void ShowNotYetAvailable(base::Controls& controls) {
    controls.MessageBox("此功能尚未开放，请等待以后版本！"_gbk, base::kIconInformation, "提示"_gbk);
}

void OnTrayMenuEntry(base::Controls& controls, TrayMenuEntry entry) {
    switch (entry) {
    case TrayMenuEntry::DownloadFernlane:
        controls.OpenAddress(base::links::kForumFernlane);
        break;
    case TrayMenuEntry::DownloadTarnbay:
        controls.OpenAddress(base::links::kForumTarnbay);
        break;
    case TrayMenuEntry::Agent:
        controls.OpenAddress(SupportChatLink(base::links::kSupportAccountA, false));
        break;
    case TrayMenuEntry::Help:
        controls.OpenAddress(base::links::kMakerHelp);
        break;
    case TrayMenuEntry::Exit:
        // Closing the main window is what ends the program.
        controls.CloseWindow(base::kMainWindow);
        break;
    }
}

bool OpenLinkOf(base::Controls& controls, std::string_view control) {
    std::string address;
    if (control == names::kSupportButton1)
        address = SupportButtonAddress(1, TodayDayOfMonth());
    else if (control == names::kSupportButton2)
        address = SupportButtonAddress(2, TodayDayOfMonth());
    else if (control == names::kSupportButton3)
        address = SupportButtonAddress(3, TodayDayOfMonth());
    else if (control == names::kTarnbayArea)
        address = base::links::kForumTarnbay;
    else if (control == names::kFernlaneArea)
        address = base::links::kForumFernlane;
    else if (control == names::kForumPicture)
        address = base::links::kForumHome;
    else if (control == names::kTitleLink)
        address = base::links::kMakerHelp;
    else if (control == names::kTutorialLink)
        address = base::links::kMakerTutorial;
    if (address.empty())
        return false;
    controls.OpenAddress(address);
    return true;
}

} // namespace rankmoth::app
