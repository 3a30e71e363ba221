#include "cli/track_alerts.h"

#include "cli/cli_context.h"
#include "history/result_row.h"
#include "notify/desktop_notifier.h"
#include "notify/webhook.h"

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <set>

namespace rankmoth::cli {

namespace {

using json = nlohmann::ordered_json;

json PlaceJson(base::ItemState state, int page, int slice) {
    if (state != base::ItemState::Found)
        return {{"page", nullptr}, {"zone", nullptr}};
    return {{"page", page}, {"zone", base::ZoneName(base::ZoneOfSlice(slice))}};
}

json AlertsArray(const std::vector<RunAlert>& alerts) {
    json array = json::array();
    for (const RunAlert& a : alerts)
        array.push_back({{"shop", a.shop},
                         {"role", a.role == ShopRole::Own ? "own" : "competitor"},
                         {"item_id", a.alert.itemId},
                         {"title", a.alert.title},
                         {"category", a.category},
                         {"sort", a.sort},
                         {"kind", AlertKindName(a.alert.kind)},
                         {"from", PlaceJson(a.alert.fromState, a.alert.fromPage, a.alert.fromSlice)},
                         {"to", PlaceJson(a.alert.toState, a.alert.toPage, a.alert.toSlice)}});
    return array;
}

int LocalMinuteOfDay(std::time_t at) {
    std::tm local{};
    localtime_r(&at, &local);
    return local.tm_hour * 60 + local.tm_min;
}

} // namespace

std::string AlertKindName(history::AlertKind kind) {
    switch (kind) {
    case history::AlertKind::EnteredPage1: return "entered_page1";
    case history::AlertKind::LeftPage1: return "left_page1";
    case history::AlertKind::ZoneChanged: return "zone_changed";
    case history::AlertKind::Moved: break;
    }
    return "moved";
}

std::string AlertsJson(const std::vector<RunAlert>& alerts) {
    return history::Dumped(AlertsArray(alerts));
}

std::string WebhookBody(const std::string& run, std::time_t at, const std::vector<RunAlert>& alerts) {
    const json body = {{"run", run}, {"at", history::IsoLocalTime(at)}, {"alerts", AlertsArray(alerts)}};
    return history::Dumped(body);
}

std::uint32_t DeliverAlerts(const WatchAlerts& settings, const std::string& run, std::time_t at,
                            const std::vector<RunAlert>& alerts, std::uint32_t previousNotification) {
    if (alerts.empty())
        return previousNotification;
    std::uint32_t shown = previousNotification;
    if (settings.desktop && !settings.Quiet(LocalMinuteOfDay(at))) {
        std::vector<history::ChangeAlert> listed;
        std::set<std::string> shops;
        for (const RunAlert& a : alerts) {
            listed.push_back(a.alert);
            shops.insert(a.shop);
        }
        const std::string summary = "排名变动: " + (shops.size() == 1 ? "优店 " + *shops.begin()
                                                                      : std::to_string(shops.size()) + " 个优店");
        const notify::NotifyOutcome outcome =
            notify::DesktopNotifier(notify::SessionBusAddress(std::getenv("DBUS_SESSION_BUS_ADDRESS"),
                                                              std::getenv("XDG_RUNTIME_DIR")))
                .Notify(summary, history::BalloonText(listed), previousNotification);
        if (outcome.kind == notify::NotifyOutcome::Kind::Shown)
            shown = outcome.id;
        else
            ReportError("desktop notification not shown: " + outcome.reason);
    }
    if (!settings.webhook.empty()) {
        const notify::WebhookOutcome posted = notify::PostWebhook(settings.webhook, WebhookBody(run, at, alerts));
        if (!posted.delivered)
            ReportError("webhook " + settings.webhook + " not reached: " + posted.reason);
    }
    return shown;
}

} // namespace rankmoth::cli
