#pragma once

#include "cli/watch_file.h"
#include "history/change_alerts.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace rankmoth::cli {

// A change one pass of a watch's run found, with the shop and listing it belongs to.
struct RunAlert {
    std::string shop; // UTF-8
    ShopRole role = ShopRole::Own;
    std::string category;
    std::string sort;
    history::ChangeAlert alert;
};

// "entered_page1", "left_page1", "zone_changed", "moved".
std::string AlertKindName(history::AlertKind kind);

// The alerts as a JSON array: [{"shop","role","item_id","title","category","sort","kind","from","to"}], each
// place {"page","zone"}, both null when the item was not on the listing.
std::string AlertsJson(const std::vector<RunAlert>& alerts);
// The webhook's body: {"run": ..., "at": ISO 8601, "alerts": [...]}.
std::string WebhookBody(const std::string& run, std::time_t at, const std::vector<RunAlert>& alerts);

// Tells the seller what moved: one desktop notification (unless the watch says not to, or it is quiet
// hours) replacing `previousNotification`, and one webhook POST. Each failure is one line on stderr and
// changes nothing else. Returns the notification's id, or `previousNotification` when none was shown.
std::uint32_t DeliverAlerts(const WatchAlerts& settings, const std::string& run, std::time_t at,
                            const std::vector<RunAlert>& alerts, std::uint32_t previousNotification);

} // namespace rankmoth::cli
