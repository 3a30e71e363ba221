#include "notify/desktop_notifier.h"

#include <systemd/sd-bus.h>

#include <cstring>

namespace rankmoth::notify {

namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";

// The bus connection, closed however the call ends.
struct BusRef {
    sd_bus* bus = nullptr;
    ~BusRef() { sd_bus_flush_close_unref(bus); }
};
struct ErrorRef {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    ~ErrorRef() { sd_bus_error_free(&error); }
};
struct MessageRef {
    sd_bus_message* message = nullptr;
    ~MessageRef() { sd_bus_message_unref(message); }
};

NotifyOutcome Outcome(NotifyOutcome::Kind kind, std::string reason) {
    NotifyOutcome outcome;
    outcome.kind = kind;
    outcome.reason = std::move(reason);
    return outcome;
}

} // namespace

std::string SessionBusAddress(const char* dbusSessionBusAddress, const char* xdgRuntimeDir) {
    if (dbusSessionBusAddress && *dbusSessionBusAddress)
        return dbusSessionBusAddress;
    if (xdgRuntimeDir && xdgRuntimeDir[0] == '/')
        return std::string("unix:path=") + xdgRuntimeDir + "/bus";
    return {};
}

NotifyOutcome DesktopNotifier::Notify(const std::string& summary, const std::string& body,
                                      std::uint32_t replacesId) const {
    using Kind = NotifyOutcome::Kind;
    if (address_.empty())
        return Outcome(Kind::NoBus, "no session bus: neither DBUS_SESSION_BUS_ADDRESS nor XDG_RUNTIME_DIR is set");
    BusRef bus;
    int r = sd_bus_new(&bus.bus);
    if (r >= 0)
        r = sd_bus_set_address(bus.bus, address_.c_str());
    if (r >= 0)
        r = sd_bus_set_bus_client(bus.bus, 1);
    if (r >= 0)
        r = sd_bus_set_method_call_timeout(bus.bus, static_cast<std::uint64_t>(callTimeout_.count()) * 1000);
    if (r >= 0)
        r = sd_bus_start(bus.bus);
    if (r < 0)
        return Outcome(Kind::NoBus, "no session bus at " + address_ + ": " + std::strerror(-r));

    ErrorRef error;
    MessageRef reply;
    // No actions, no hints, and the service's own expiry (-1).
    r = sd_bus_call_method(bus.bus, kService, kPath, kService, "Notify", &error.error, &reply.message, "susssasa{sv}i",
                           "Rankmoth", replacesId, "rankmoth", summary.c_str(), body.c_str(), 0, 0, -1);
    if (r < 0) {
        const std::string what = error.error.message ? error.error.message : std::strerror(-r);
        if (sd_bus_error_has_names(&error.error, SD_BUS_ERROR_SERVICE_UNKNOWN, SD_BUS_ERROR_NAME_HAS_NO_OWNER))
            return Outcome(Kind::NoService, std::string("no notification service on the session bus: ") + what);
        return Outcome(Kind::Failed, std::string("the notification was not taken: ") + what);
    }
    NotifyOutcome outcome;
    if (sd_bus_message_read(reply.message, "u", &outcome.id) < 0)
        return Outcome(Kind::Failed, "the notification service answered without an id");
    outcome.kind = Kind::Shown;
    return outcome;
}

} // namespace rankmoth::notify
