#include "tests/update/update_test_support.h"
#include "update/update_download.h"
#include "update/update_progress.h"
#include "update/update_install.h"

#include <gtest/gtest.h>

namespace rankmoth::update {
namespace {

using testing::UpdateFixture;
constexpr auto W = base::kUpdateWindow;

std::string Label(UpdateFixture& f, std::string_view control) { return f.controls.Control(W, control).text.ToUtf8(); }

TEST(FormatKilobytesTest, SixSignificantDigitsOfSinglePrecision) {
    const struct {
        long long bytes;
        const char* shown;
    } cases[] = {
        {1536, "1.5"},      {1234567, "1205.63"}, {0, "0"},           {1024, "1"},
        {1, "0.000976562"}, {1023998976, "999999"}, {1024000000, "1e+06"}, {4294967295LL, "4.1943e+06"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FormatKilobytes(c.bytes).bytes(), c.shown) << c.bytes;
}

TEST(PathLabelTest, FortySixBytesWholeFortySevenShortened) {
    const std::string path46 = "/" + std::string(32, 'd') + "/m_update.zip";
    ASSERT_EQ(path46.size(), 46u);
    EXPECT_EQ(PathLabelText(Text(path46), Text("m_update.zip")).ToUtf8(), "下载到:" + path46);
    const std::string path47 = "/" + std::string(33, 'd') + "/m_update.zip";
    EXPECT_EQ(PathLabelText(Text(path47), Text("m_update.zip")).ToUtf8(),
              "下载到:" + path47.substr(0, 20) + "...\\m_update.zip");
}

TEST(ArchiveNamesTest, HostLabelFileNameAndLocalPath) {
    const auto names = ArchiveNamesOf(Text("http://dl.example:8080/a/zujian/m_update.zip"), "/work");
    EXPECT_EQ(names.hostLabel.bytes(), "dl.example:8080");
    EXPECT_EQ(names.fileName.bytes(), "m_update.zip");
    EXPECT_EQ(names.localPath, "/work/m_update.zip");
    // A notice without an address still gives names, not a crash.
    const auto empty = ArchiveNamesOf(Text("zujian/m_update.zip"), "/w");
    EXPECT_EQ(empty.hostLabel.bytes(), "");
    EXPECT_EQ(empty.localPath, "/w/m_update.zip");
}

TEST(ProgressTickTest, FirstSecondSpeedAndAverageAgree) {
    UpdateFixture f;
    auto env = f.Env();
    f.state->counters.totalBytes = 3000 * 1024;
    f.state->counters.downloadedBytes = 300 * 1024;
    ProgressTick(env, *f.state);
    EXPECT_EQ(Label(f, "标签10"), "文件大小:3000KB");
    EXPECT_EQ(Label(f, "标签11"), "已下载:300KB 总共(1秒)");
    EXPECT_EQ(Label(f, "标签1"), "下载速度:300KB/秒");
    EXPECT_EQ(Label(f, "标签3"), "平均速度:300KB/秒");
    // 2700 KB left at 300 KB/s.
    EXPECT_EQ(Label(f, "标签9"), "剩余时间:9 秒");

    f.state->counters.downloadedBytes = 400 * 1024;
    ProgressTick(env, *f.state);
    EXPECT_EQ(Label(f, "标签1"), "下载速度:100KB/秒");
    EXPECT_EQ(Label(f, "标签3"), "平均速度:200KB/秒");
    EXPECT_EQ(Label(f, "标签11"), "已下载:400KB 总共(2秒)");
    EXPECT_EQ(f.state->previousDownloadedBytes, 400 * 1024);
}

TEST(ProgressTickTest, UnderOneKilobytePerSecondShowsZeroAverageAndZeroTimeLeft) {
    UpdateFixture f;
    auto env = f.Env();
    f.state->counters.totalBytes = 100000;
    f.state->counters.downloadedBytes = 900;
    ProgressTick(env, *f.state);
    EXPECT_EQ(Label(f, "标签1"), "下载速度:0KB/秒");
    EXPECT_EQ(Label(f, "标签3"), "平均速度:0KB/秒");
    EXPECT_EQ(Label(f, "标签9"), "剩余时间:0 秒");
    EXPECT_EQ(Label(f, "标签10"), "文件大小:97.6562KB");
}

TEST(InstallTickTest, PercentageAndBar) {
    const struct {
        long long total, downloaded, percent;
        int bar;
    } cases[] = {
        {1000, 999, 99, 99}, {150, 150, 150, 100}, {0, 0, 0, 0}, {99, 99, 0, 0}, {1000, 0, 0, 0}, {1000, 1000, 100, 100},
    };
    for (const auto& c : cases) {
        UpdateFixture f;
        auto env = f.Env();
        f.state->counters.totalBytes = static_cast<std::uint32_t>(c.total);
        f.state->counters.downloadedBytes = static_cast<std::uint32_t>(c.downloaded);
        InstallTick(env, *f.state); // the download has not returned: no completion in any case
        EXPECT_EQ(Label(f, "标签4"), "已完成:" + std::to_string(c.percent) + "%") << c.total << "/" << c.downloaded;
        EXPECT_EQ(f.controls.Control(W, "进度条1").progress, c.bar);
        EXPECT_TRUE(f.controls.MessageBoxes().empty());
        EXPECT_FALSE(f.controls.ExitCode());
    }
}

TEST(InstallTickTest, NoCompletionBelowHundredEvenAfterSuccess) {
    UpdateFixture f;
    auto env = f.Env();
    f.state->counters.totalBytes = 1000;
    f.state->counters.downloadedBytes = 999;
    f.state->downloadResult = 0;
    InstallTick(env, *f.state);
    EXPECT_FALSE(f.controls.Control(W, "标签8").visible && f.state->installDone);
    EXPECT_FALSE(f.state->installDone);
}

TEST(InstallTickTest, CompletionWithoutArchiveStaysOpenAndStartsNothing) {
    UpdateFixture f;
    auto env = f.Env();
    f.controls.SetTimerInterval(W, "时钟1", 1000);
    f.controls.SetTimerInterval(W, "时钟2", 100);
    f.state->counters.totalBytes = 2048;
    f.state->counters.downloadedBytes = 2048;
    f.state->elapsedSeconds = 3;
    f.state->downloadResult = 0;
    InstallTick(env, *f.state);
    EXPECT_EQ(Label(f, "标签11"), "已下载:2KB 总共( 3 秒)");
    EXPECT_TRUE(f.controls.Control(W, "标签8").visible);
    EXPECT_EQ(f.pictures, std::vector<UpdatePicture>{UpdatePicture::kDone});
    EXPECT_EQ(f.controls.TimerInterval(W, "时钟1"), 0);
    EXPECT_EQ(f.controls.TimerInterval(W, "时钟2"), 0);
    EXPECT_TRUE(f.controls.StartedProcesses().empty());
    EXPECT_TRUE(f.controls.OpenedAddresses().empty());
    EXPECT_FALSE(f.controls.ExitCode());
    // Completion happens once.
    f.controls.SetText(W, "标签11", Text("x"));
    InstallTick(env, *f.state);
    EXPECT_EQ(Label(f, "标签11"), "x");
}

} // namespace
} // namespace rankmoth::update
