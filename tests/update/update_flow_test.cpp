#include "tests/update/update_test_support.h"
#include "tools/sim/update_archive_server.h"
#include "update/notice_check.h"
#include "update/update_download.h"
#include "update/update_hooks.h"
#include "update/update_install.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace rankmoth::update {
namespace {

using testing::Exists;
using testing::UpdateFixture;
constexpr auto W = base::kUpdateWindow;

// Runs the two UpdateWindow timers the way the window would while 时钟2 is running: 时钟2 every pass, 时钟1
// every tenth. Bounded in time.
void RunTimers(UpdateFixture& f, const base::ShellHooks& hooks) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int pass = 0; f.controls.TimerInterval(W, "时钟2") != 0 && !f.controls.ExitCode(); ++pass) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        if (pass % 10 == 9 && f.controls.TimerInterval(W, "时钟1") != 0)
            hooks.updateTimer1Tick();
        hooks.updateTimer2Tick();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TEST(UpdateFlowTest, CachedNewerVersionDownloadsUnpacksAndStartsTheUpdater) {
    UpdateFixture f;
    const std::string archive = f.dir / "source.zip";
    ASSERT_TRUE(testing::MakeZip(archive, {{"m_update.exe", "#!/bin/sh\ntouch ran\n", 0100755},
                                           {"payload.bin", testing::PatternBytes(200000), 0100644}}));
    sim::ArchiveServer server({testing::ReadFile(archive)});
    ASSERT_GT(server.Start(), 0);
    auto env = f.Env();
    NoticeCache(env.configFile)
        .Write(Text("111|1|http://127.0.0.1:" + std::to_string(server.port()) + "/|v2/|||||") +
               "http://dl.example/下载"_gbk);

    base::ShellHooks hooks;
    BindUpdateActions([&] { return f.Env(); }, hooks, f.state);
    hooks.updateWindowCreated();
    RunTimers(f, hooks);
    ASSERT_TRUE(f.state->downloadThreadDone->WaitFor(std::chrono::seconds(5)));

    EXPECT_EQ(f.state->downloadResult.load(), 0);
    EXPECT_EQ(server.Requests().at(0).substr(0, 32), "GET /v2/zujian/m_update.zip HTTP");
    EXPECT_FALSE(Exists(f.dir / "m_update.zip"));
    EXPECT_FALSE(Exists(f.dir / "m_update.zip.tmp"));
    struct stat st {};
    ASSERT_EQ(::stat((f.dir / "m_update.exe").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    EXPECT_EQ(testing::ReadFile(f.dir / "payload.bin"), testing::PatternBytes(200000));
    EXPECT_EQ(f.controls.StartedProcesses(), std::vector<std::string>{f.dir / "m_update.exe"});
    EXPECT_EQ(f.controls.Control(W, "标签4").text.ToUtf8(), "已完成:100%");
    EXPECT_TRUE(f.controls.Control(W, "标签8").visible);
    // The banner while downloading, the completion icon once done.
    EXPECT_EQ(f.pictures, (std::vector<UpdatePicture>{UpdatePicture::kBanner, UpdatePicture::kDone}));
    EXPECT_EQ(f.controls.OpenedAddresses(), std::vector<std::string>{"http://dl.example/下载"});
    EXPECT_EQ(f.controls.ExitCode(), 0);
    EXPECT_EQ(f.controls.TimerInterval(W, "时钟1"), 0);
}

TEST(UpdateFlowTest, FailedDownloadShowsTheMessageOnceAndLeavesNothing) {
    UpdateFixture f;
    sim::ArchiveServerOptions options{testing::PatternBytes(50000)};
    options.fault = sim::ArchiveFault::kCloseMidBody;
    sim::ArchiveServer server(options);
    ASSERT_GT(server.Start(), 0);
    auto env = f.Env();
    NoticeCache(env.configFile)
        .Write(Text("200|1|http://127.0.0.1:" + std::to_string(server.port()) + "/|x/|||||http://dl.example/p"));
    LaunchCheck(env, f.state);
    ASSERT_TRUE(f.state->downloadThreadDone->WaitFor(std::chrono::seconds(10)));
    InstallTick(env, *f.state);
    EXPECT_EQ(f.state->downloadResult.load(), 5);
    EXPECT_EQ(f.controls.MessageBoxes().size(), 1u);
    EXPECT_TRUE(f.controls.StartedProcesses().empty());
    EXPECT_FALSE(Exists(f.dir / "m_update.zip"));
    EXPECT_FALSE(Exists(f.dir / "m_update.zip.tmp"));
    EXPECT_FALSE(f.state->installDone);
}

TEST(UpdateFlowTest, BackgroundHookHandsTheStartTabToFinish) {
    UpdateFixture f;
    f.notices["http://notice.test/w2/blogDetail.do?hostID=h&blogId=1"] = "110|1";
    f.notices["http://notice.test/w2/blogDetail.do?hostID=h&blogId=2"] = "1|";
    base::ShellHooks hooks;
    BindUpdateActions([&] { return f.Env(); }, hooks, f.state);
    int tab = -1;
    std::thread worker([&] { hooks.backgroundCheck([&](int t) { tab = t; }); });
    worker.join();
    EXPECT_EQ(tab, 1);
    EXPECT_FALSE(f.controls.ExitCode());
}

} // namespace
} // namespace rankmoth::update
