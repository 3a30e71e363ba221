#pragma once

// A session bus of a test's own, and a notification service on it that records what it is asked to show.
#include "tests/cli/child_process.h"
#include "tests/support/poll_until.h"
#include "tests/support/temp_folder.h"

#include <systemd/sd-bus.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace rankmoth::testing {

// dbus-daemon listening in a folder of the test's, on a configuration that lets anyone own any name and
// activates no service of the machine's.
class PrivateBus {
public:
    PrivateBus() {
        std::ofstream(folder_ / "bus.conf") << "<busconfig><type>session</type><listen>unix:dir=" << folder_.path()
                                            << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                                               "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                                               "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>";
        daemon_.emplace("/usr/bin/dbus-daemon", std::vector<std::string>{"--config-file=" + folder_ / "bus.conf",
                                                                         "--nofork", "--print-address"});
        testing::PollUntil([&] { return daemon_->Out().find('\n') != std::string::npos; });
        address_ = daemon_->Out();
        address_ = address_.substr(0, address_.find('\n'));
    }
    const std::string& address() const { return address_; }
    std::string err() const { return daemon_->Err(); }

private:
    TempFolder folder_{"rankmoth-bus"};
    std::optional<ChildProcess> daemon_;
    std::string address_;
};

struct NotifyCall {
    std::string app, icon, summary, body;
    std::uint32_t replacesId = 0;
    std::int32_t timeout = 0;
};

// org.freedesktop.Notifications on its own connection and thread: records every Notify and answers with
// ids 41, 42, ...
class NotificationService {
public:
    explicit NotificationService(const std::string& address) {
        if (sd_bus_new(&bus_) < 0 || sd_bus_set_address(bus_, address.c_str()) < 0 ||
            sd_bus_set_bus_client(bus_, 1) < 0 || sd_bus_start(bus_) < 0 ||
            sd_bus_add_object_vtable(bus_, nullptr, "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                                     kVtable, this) < 0 ||
            sd_bus_request_name(bus_, "org.freedesktop.Notifications", 0) < 0)
            return;
        ready_ = true;
        thread_ = std::thread([this] {
            while (!stop_) {
                if (sd_bus_process(bus_, nullptr) == 0)
                    sd_bus_wait(bus_, 20'000);
            }
        });
    }
    ~NotificationService() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        sd_bus_flush_close_unref(bus_);
    }

    bool ready() const { return ready_; }
    std::vector<NotifyCall> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    static int OnNotify(sd_bus_message* m, void* self, sd_bus_error*) {
        auto& service = *static_cast<NotificationService*>(self);
        const char *app, *icon, *summary, *body;
        NotifyCall call;
        int r = sd_bus_message_read(m, "susss", &app, &call.replacesId, &icon, &summary, &body);
        if (r >= 0)
            r = sd_bus_message_skip(m, "asa{sv}");
        if (r >= 0)
            r = sd_bus_message_read(m, "i", &call.timeout);
        if (r < 0)
            return r;
        call.app = app;
        call.icon = icon;
        call.summary = summary;
        call.body = body;
        std::lock_guard lock(service.mutex_);
        service.calls_.push_back(call);
        return sd_bus_reply_method_return(m, "u", static_cast<std::uint32_t>(40 + service.calls_.size()));
    }

    static constexpr sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Notify", "susssasa{sv}i", "u", OnNotify, SD_BUS_VTABLE_UNPRIVILEGED),
        SD_BUS_VTABLE_END,
    };

    sd_bus* bus_ = nullptr;
    bool ready_ = false;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<NotifyCall> calls_;
    std::thread thread_;
};

} // namespace rankmoth::testing
