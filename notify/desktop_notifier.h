#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace rankmoth::notify {

// What became of one notification.
struct NotifyOutcome {
    enum class Kind {
        Shown,     // the notification service took it
        NoBus,     // no session bus to reach (no address, or nothing listening there)
        NoService, // a bus, but nobody on it shows notifications
        Failed,    // the service refused the call or did not answer in time
    };
    Kind kind = Kind::Failed;
    std::uint32_t id = 0; // when shown: the service's id, handed back as replacesId to update it in place
    std::string reason;   // one line, when not shown
};

// The session bus address, as sd-bus finds it for a user: DBUS_SESSION_BUS_ADDRESS, or the bus socket in
// XDG_RUNTIME_DIR (an absolute path only). Empty when neither says anything; null pointers are unset variables.
std::string SessionBusAddress(const char* dbusSessionBusAddress, const char* xdgRuntimeDir);

// Notifications on the desktop through org.freedesktop.Notifications on the session bus at `busAddress`.
// Each notification connects anew: a run notifies once or twice and must not hold a bus connection
// between. Never throws; every failure is an outcome.
class DesktopNotifier {
public:
    explicit DesktopNotifier(std::string busAddress,
                             std::chrono::milliseconds callTimeout = std::chrono::milliseconds(5000))
        : address_(std::move(busAddress)), callTimeout_(callTimeout) {}

    // `summary` and `body` are UTF-8. A `replacesId` from an earlier outcome replaces that notification
    // rather than stacking a new one; 0 asks for a new one.
    NotifyOutcome Notify(const std::string& summary, const std::string& body, std::uint32_t replacesId = 0) const;

private:
    std::string address_;
    std::chrono::milliseconds callTimeout_;
};

} // namespace rankmoth::notify
