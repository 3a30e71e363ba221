#pragma once

#include "base/controls.h"

#include <string>
#include <string_view>

namespace rankmoth::app {

// The support chat address of an account. The day-dependent buttons send their query with "&amp;"
// separators, exactly as the chat service has always received them from this program.
std::string SupportChatLink(std::string_view account, bool ampersandsAsEntities);

// The address behind 超级按钮_客服1/2/3 (button 1 to 3) on a day of the month: buttons 1 and 2 share the two
// day-time accounts between them, so they never open the same account on the same day.
std::string SupportButtonAddress(int button, int dayOfMonth);

// The day of the month of the local date.
int TodayDayOfMonth();

// Tick counter of 时钟_在线统计: the news page is reloaded on every fifth tick.
class NewsReloadCounter {
public:
    // True when this tick reloads the page.
    bool Tick();
    int value() const { return count_; }

private:
    int count_ = 0;
};

// 编辑框_优店ID lost the focus: its text, trimmed, is stored every time, also when empty or unchanged.
void StoreShopId(base::Controls& controls, const std::string& configFile);

// 选择框_提示音 clicked: the alert plays once as a preview, only when the box has just been ticked.
void OnAlertBoxClicked(base::Controls& controls);

// The "not available yet" notice of the 打开 / 保存 buttons.
void ShowNotYetAvailable(base::Controls& controls);

// Entries of 托盘菜单, in menu order.
enum class TrayMenuEntry { DownloadFernlane, DownloadTarnbay, Agent, Help, Exit };
void OnTrayMenuEntry(base::Controls& controls, TrayMenuEntry entry);

// Clickable pictures and links of the main window, by design name; false for a control without a link.
bool OpenLinkOf(base::Controls& controls, std::string_view control);

} // namespace rankmoth::app
