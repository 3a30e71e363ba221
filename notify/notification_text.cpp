#include "notify/notification_text.h"

#include <algorithm>

namespace rankmoth::notify {

namespace {

constexpr std::size_t kNamed = 5;

} // namespace

std::string NotificationText(const std::vector<std::string>& items) {
    std::string text;
    for (std::size_t i = 0; i < std::min(items.size(), kNamed); ++i) {
        if (i > 0)
            text += "、";
        // A bubble shows one line per item at most; a line break inside a title would split it in two.
        std::string item = items[i];
        std::replace(item.begin(), item.end(), '\n', ' ');
        text += item;
    }
    if (items.size() > kNamed)
        text += "…等 " + std::to_string(items.size()) + " 个宝贝";
    return text;
}

} // namespace rankmoth::notify
