// Desktop notifications through a private session bus, with a notification service of the test's own.
#include "notify/desktop_notifier.h"
#include "tests/support/private_bus.h"

#include <gtest/gtest.h>

namespace rankmoth::notify {
namespace {

using testing::NotificationService;
using testing::NotifyCall;
using testing::PrivateBus;
using testing::TempFolder;

TEST(DesktopNotifier, TheServiceGetsTheNotificationAndItsIdReplacesItNextTime) {
    PrivateBus bus;
    ASSERT_FALSE(bus.address().empty()) << bus.err();
    const DesktopNotifier notifier(bus.address());

    const NotifyOutcome none = notifier.Notify("名次变了", "无人接听");
    EXPECT_EQ(none.kind, NotifyOutcome::Kind::NoService) << none.reason;
    EXPECT_NE(none.reason.find("no notification service"), std::string::npos) << none.reason;

    NotificationService service(bus.address());
    ASSERT_TRUE(service.ready());
    const NotifyOutcome first = notifier.Notify("名次变了", "晴天 短袖 到了第 1 页");
    ASSERT_EQ(first.kind, NotifyOutcome::Kind::Shown) << first.reason;
    const NotifyOutcome second = notifier.Notify("名次又变了", "到了第 2 页", first.id);
    ASSERT_EQ(second.kind, NotifyOutcome::Kind::Shown) << second.reason;
    EXPECT_EQ(second.id, first.id + 1);

    const auto calls = service.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].app, "Rankmoth");
    EXPECT_EQ(calls[0].icon, "rankmoth");
    EXPECT_EQ(calls[0].summary, "名次变了");
    EXPECT_EQ(calls[0].body, "晴天 短袖 到了第 1 页");
    EXPECT_EQ(calls[0].replacesId, 0u);
    EXPECT_EQ(calls[0].timeout, -1);
    EXPECT_EQ(calls[1].replacesId, first.id);
}

TEST(DesktopNotifier, WithoutABusItSaysSoInOneLine) {
    TempFolder runtime("rankmoth-runtime");
    EXPECT_EQ(SessionBusAddress("unix:path=/run/user/7/bus", "/run/user/9"), "unix:path=/run/user/7/bus");
    EXPECT_EQ(SessionBusAddress("", runtime.path().c_str()), "unix:path=" + runtime.path() + "/bus");
    EXPECT_EQ(SessionBusAddress(nullptr, "relative/runtime"), "");

    for (const std::string& address :
         {SessionBusAddress(nullptr, nullptr), SessionBusAddress(nullptr, runtime.path().c_str())}) {
        SCOPED_TRACE(address);
        const NotifyOutcome outcome = DesktopNotifier(address).Notify("名次变了", "");
        EXPECT_EQ(outcome.kind, NotifyOutcome::Kind::NoBus);
        EXPECT_NE(outcome.reason.find("no session bus"), std::string::npos) << outcome.reason;
        EXPECT_EQ(outcome.reason.find('\n'), std::string::npos);
    }
}

} // namespace
} // namespace rankmoth::notify
