#pragma once

#include <string>
#include <vector>

namespace rankmoth::notify {

// The body of a notification about `items` (display titles, UTF-8): up to five of them, then how many there
// are in all, so that a long list still fits the few lines a notification bubble shows.
std::string NotificationText(const std::vector<std::string>& items);

} // namespace rankmoth::notify
