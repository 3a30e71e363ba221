#include "app/main_actions.h"

#include "app/alert_wave.h"
#include "base/endpoints.h"
#include "base/settings.h"
#include "tests/support/fake_controls.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>

namespace rankmoth::app {
namespace {

using testing::FakeControls;

TEST(SupportLinks, DayButtonsSendEntityAmpersandsOthersPlainOnes) {
    EXPECT_EQ(SupportChatLink("800100201", true),
              "http://chat.im.example/msgrd?v=3&amp;uin=800100201&amp;site=qq&amp;menu=yes");
    EXPECT_EQ(SupportChatLink("800100203", false), "http://chat.im.example/msgrd?v=3&uin=800100203&site=qq&menu=yes");
}

TEST(SupportLinks, TheTwoDayButtonsNeverShareAnAccount) {
    const std::string a = SupportChatLink(base::links::kSupportAccountA, true);
    const std::string b = SupportChatLink(base::links::kSupportAccountB, true);
    for (int day = 1; day <= 31; ++day) {
        SCOPED_TRACE(day);
        const std::string first = SupportButtonAddress(1, day);
        const std::string second = SupportButtonAddress(2, day);
        EXPECT_NE(first, second);
        EXPECT_EQ(first, day % 2 ? a : b);
        EXPECT_EQ(second, day % 2 ? b : a);
        EXPECT_EQ(SupportButtonAddress(3, day), SupportChatLink(base::links::kSupportAccountC, false));
    }
    EXPECT_EQ(SupportButtonAddress(4, 1), "");
    const int today = TodayDayOfMonth();
    EXPECT_GE(today, 1);
    EXPECT_LE(today, 31);
}

TEST(NewsReloadCounter, ReloadsOnEveryFifthTick) {
    NewsReloadCounter counter;
    std::vector<int> reloads;
    for (int tick = 1; tick <= 15; ++tick)
        if (counter.Tick())
            reloads.push_back(tick);
    EXPECT_EQ(reloads, (std::vector<int>{5, 10, 15}));
    EXPECT_EQ(counter.value(), 0);
}

class ShopIdStore : public ::testing::Test {
protected:
    Text Stored() { return base::ReadSetting(config_, Text("canshu"), Text("youdianid")); }

    testing::TempFolder dir_;
    std::string config_ = dir_.file("config.ini");
    FakeControls controls_;
};

TEST_F(ShopIdStore, WritesTheTrimmedTextEveryTimeEvenWhenEmpty) {
    struct Case {
        const char* typed;
        const char* stored;
    };
    const Case cases[] = {
        {" 12345 ", "12345"},
        {"\xe3\x80\x80"
         "678\xe3\x80\x80",
         "678"}, // full-width spaces
        {"12345", "12345"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        controls_.SetText(base::kMainWindow, "编辑框_优店ID", Text::FromUtf8(c.typed));
        StoreShopId(controls_, config_);
        EXPECT_EQ(Stored(), Text::FromUtf8(c.stored));
    }
    // The emptied key is still written, not removed.
    EXPECT_TRUE(std::filesystem::exists(config_));
}

TEST_F(ShopIdStore, UnchangedTextIsWrittenAgain) {
    controls_.SetText(base::kMainWindow, "编辑框_优店ID", Text("42"));
    StoreShopId(controls_, config_);
    std::filesystem::remove(config_);
    StoreShopId(controls_, config_);
    EXPECT_EQ(Stored(), Text("42"));
}

TEST(AlertPreview, PlaysOnlyWhenTheBoxHasJustBeenTicked) {
    FakeControls controls;
    controls.SetChecked(base::kMainWindow, "选择框_提示音", true);
    OnAlertBoxClicked(controls);
    controls.SetChecked(base::kMainWindow, "选择框_提示音", false);
    OnAlertBoxClicked(controls);
    EXPECT_EQ(controls.SoundsPlayed(), 1);
}

TEST(NotYetAvailable, IsAnInformationBoxCaptionedNotice) {
    FakeControls controls;
    ShowNotYetAvailable(controls);
    ASSERT_EQ(controls.MessageBoxes().size(), 1u);
    const auto box = controls.MessageBoxes()[0];
    EXPECT_EQ(box.text, "此功能尚未开放，请等待以后版本！"_gbk);
    EXPECT_EQ(box.style, base::kIconInformation);
    EXPECT_EQ(box.caption, "提示"_gbk);
}

TEST(TrayMenu, EntriesOpenTheirPagesAndExitClosesTheMainWindow) {
    FakeControls controls;
    controls.LoadWindow(base::kMainWindow, true);
    for (auto entry :
         {TrayMenuEntry::DownloadFernlane, TrayMenuEntry::DownloadTarnbay, TrayMenuEntry::Agent, TrayMenuEntry::Help})
        OnTrayMenuEntry(controls, entry);
    EXPECT_EQ(controls.OpenedAddresses(),
              (std::vector<std::string>{base::links::kForumFernlane, base::links::kForumTarnbay,
                                        "http://chat.im.example/msgrd?v=3&uin=800100201&site=qq&menu=yes",
                                        base::links::kMakerHelp}));
    EXPECT_TRUE(controls.Window(base::kMainWindow).loaded);
    OnTrayMenuEntry(controls, TrayMenuEntry::Exit);
    EXPECT_FALSE(controls.Window(base::kMainWindow).loaded);
}

TEST(Links, ClickablePicturesAndLinksOpenTheirPages) {
    const std::pair<const char*, std::string> cases[] = {
        {"透明标签_Tarnbay软件", base::links::kForumTarnbay},
        {"透明标签_Fernlane软件", base::links::kForumFernlane},
        {"图片框1", base::links::kForumHome},
        {"超级链接框1", base::links::kMakerHelp},
        {"超级链接框2", base::links::kMakerTutorial},
        {"超级按钮_客服3", SupportChatLink(base::links::kSupportAccountC, false)},
    };
    for (const auto& [control, address] : cases) {
        SCOPED_TRACE(control);
        FakeControls controls;
        EXPECT_TRUE(OpenLinkOf(controls, control));
        EXPECT_EQ(controls.OpenedAddresses(), std::vector<std::string>{address});
    }
    FakeControls controls;
    EXPECT_FALSE(OpenLinkOf(controls, "标签7"));
    EXPECT_TRUE(controls.OpenedAddresses().empty());
}

TEST(AlertWave, IsMonoPcm44kSixteenBitWithTheExactSampleLength) {
    const std::string wave = MakeAlertWave();
    ASSERT_EQ(wave.size(), 44u + kAlertSampleBytes);
    const auto u16 = [&](std::size_t at) {
        return static_cast<unsigned>(static_cast<unsigned char>(wave[at]) |
                                     (static_cast<unsigned char>(wave[at + 1]) << 8));
    };
    const auto u32 = [&](std::size_t at) { return u16(at) | (u16(at + 2) << 16); };
    EXPECT_EQ(wave.substr(0, 4), "RIFF");
    EXPECT_EQ(u32(4), wave.size() - 8);
    EXPECT_EQ(wave.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(u16(20), 1u);     // PCM
    EXPECT_EQ(u16(22), 1u);     // mono
    EXPECT_EQ(u32(24), 44100u); // samples per second
    EXPECT_EQ(u32(28), 88200u); // bytes per second
    EXPECT_EQ(u16(32), 2u);
    EXPECT_EQ(u16(34), 16u);
    EXPECT_EQ(wave.substr(36, 4), "data");
    EXPECT_EQ(u32(40), 97164u);

    // Audible, and silent at both ends so it starts and stops without a click.
    int peak = 0;
    for (std::size_t i = 44; i < wave.size(); i += 2)
        peak = std::max(peak, std::abs(static_cast<int>(static_cast<std::int16_t>(u16(i)))));
    EXPECT_GT(peak, 8000);
    EXPECT_LT(std::abs(static_cast<int>(static_cast<std::int16_t>(u16(44)))), 200);
    EXPECT_LT(std::abs(static_cast<int>(static_cast<std::int16_t>(u16(wave.size() - 2)))), 200);
}

} // namespace
} // namespace rankmoth::app
