#include "tests/update/update_test_support.h"
#include "update/notice_check.h"
#include "update/notice_fetch.h"

#include "base/settings.h"

#include <gtest/gtest.h>
#include <httplib.h>

namespace rankmoth::update {
namespace {

using testing::UpdateFixture;
constexpr const char* kVersionUrl = "http://notice.test/w2/blogDetail.do?hostID=h&blogId=1";
constexpr const char* kStartTabUrl = "http://notice.test/w2/blogDetail.do?hostID=h&blogId=2";

Text CachedNotice(UpdateFixture& f) { return NoticeCache(f.dir / "config.ini").Read(); }

// LaunchCheck may start a download thread; it must be over before the fixture goes.
void WaitForDownloadThread(UpdateFixture& f) {
    if (f.state->downloadResult.load() != -1 || f.controls.TimerInterval(base::kUpdateWindow, "时钟1") != 0) {
        ASSERT_TRUE(f.state->downloadThreadDone->WaitFor(std::chrono::seconds(20)));
    }
}

TEST(NoticeFieldsTest, SplitKeepsInnerEmptyFieldsAndDropsTheLastEmptyOne) {
    const struct {
        const char* payload;
        std::vector<std::string> fields;
    } cases[] = {
        {"a||b", {"a", "", "b"}}, {"a|b|", {"a", "b"}}, {"a|", {"a"}}, {"|", {""}}, {"", {}}, {"abc", {"abc"}},
        {"a||", {"a", ""}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> got;
        for (const auto& field : SplitNoticeFields(Text(c.payload)))
            got.push_back(field.bytes());
        EXPECT_EQ(got, c.fields) << c.payload;
    }
    EXPECT_EQ(NoticeField({Text("a")}, 2), Text());
    EXPECT_EQ(NoticeField({}, 0), Text());
    EXPECT_EQ(UpdateArchiveUrlOf({Text("111"), Text("1"), Text("http://h/"), Text("v2/")}).bytes(),
              "http://h/v2/zujian/m_update.zip");
}

TEST(LaunchCheckTest, CachedNoticeDecidesWithoutTheNetwork) {
    const struct {
        const char* cached;
        bool opensMain;
    } cases[] = {
        {"105|1|x|y", true},  {"110|1", true},    {"110abc|1", true}, {"abc|1", true}, {"|1", true},
        {"-5|1", true},       {"１１０|1", true}, {"111|1|x|y", false}, {"１１１", false}, {" 200|0", false},
    };
    for (const auto& c : cases) {
        UpdateFixture f;
        auto env = f.Env();
        ASSERT_TRUE(NoticeCache(env.configFile).Write(Text::FromUtf8(c.cached)));
        LaunchCheck(env, f.state);
        EXPECT_TRUE(f.fetched.empty()) << c.cached;
        const auto main = f.controls.Window(base::kMainWindow);
        EXPECT_EQ(main.loaded, c.opensMain) << c.cached;
        if (c.opensMain) {
            EXPECT_TRUE(main.modal);
            EXPECT_EQ(f.controls.TimerInterval(base::kUpdateWindow, "时钟1"), 0);
        } else {
            EXPECT_EQ(f.controls.TimerInterval(base::kUpdateWindow, "时钟1"), 1000) << c.cached;
            EXPECT_EQ(f.controls.TimerInterval(base::kUpdateWindow, "时钟2"), 100) << c.cached;
        }
        WaitForDownloadThread(f);
    }
}

TEST(LaunchCheckTest, NewerVersionDownloadsFromFieldsThreeAndFour) {
    UpdateFixture f;
    auto env = f.Env();
    NoticeCache(env.configFile).Write("111|1|http://127.0.0.1:1/|v2/|5|6|7|8|http://dl.example/下载页"_gbk);
    LaunchCheck(env, f.state);
    EXPECT_EQ(f.state->updateArchiveUrl.bytes(), "http://127.0.0.1:1/v2/zujian/m_update.zip");
    EXPECT_EQ(f.state->downloadPageAddress.ToUtf8(), "http://dl.example/下载页");
    EXPECT_FALSE(f.controls.Window(base::kMainWindow).loaded);
    EXPECT_TRUE(f.controls.Control(base::kUpdateWindow, "图片框1").visible);
    EXPECT_FALSE(f.controls.Control(base::kUpdateWindow, "标签8").visible);
    WaitForDownloadThread(f);
    // Nothing listens on port 1: the download fails, shows its message, the page and ends.
    EXPECT_EQ(f.state->downloadResult.load(), 3);
    const auto boxes = f.controls.MessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.ToUtf8(), "下载失败!请手动下载更新");
    EXPECT_EQ(boxes[0].caption.ToUtf8(), "信息提示:");
    EXPECT_EQ(boxes[0].style, base::kIconExclamation);
    // The browser gets the page in UTF-8, not in the GBK the notice was read into.
    EXPECT_EQ(f.controls.OpenedAddresses(), std::vector<std::string>{"http://dl.example/下载页"});
    EXPECT_EQ(f.controls.ExitCode(), 0);
    EXPECT_EQ(f.controls.Control(base::kUpdateWindow, "标签2").text.ToUtf8(), "m_update.zip (来自 127.0.0.1:1 )");
    EXPECT_EQ(f.controls.Control(base::kUpdateWindow, "标签7").text.ToUtf8().substr(0, 10), "下载到:");
}

TEST(LaunchCheckTest, DeliveredUpdaterIsStartedInsteadOfDownloading) {
    UpdateFixture f;
    auto env = f.Env();
    testing::WriteFile(f.exeDir / "m_update.exe", "#!/bin/sh\n");
    NoticeCache(env.configFile).Write(Text("111|1|http://127.0.0.1:1/|v2/|||||page"));
    LaunchCheck(env, f.state);
    EXPECT_EQ(f.controls.StartedProcesses(), std::vector<std::string>{f.dir / "m_update.exe"});
    EXPECT_EQ(f.controls.TimerInterval(base::kUpdateWindow, "时钟1"), 0);
    EXPECT_TRUE(f.state->updateArchiveUrl.empty());
    EXPECT_FALSE(f.controls.ExitCode());
    EXPECT_FALSE(f.controls.Window(base::kMainWindow).loaded);
}

TEST(LaunchCheckTest, WithoutCacheThePageIsFetchedButNotCached) {
    UpdateFixture f;
    auto env = f.Env();
    f.notices[kVersionUrl] = "105|1|a|b";
    LaunchCheck(env, f.state);
    EXPECT_EQ(f.fetched, std::vector<std::string>{kVersionUrl});
    EXPECT_TRUE(f.controls.Window(base::kMainWindow).loaded);
    EXPECT_TRUE(CachedNotice(f).empty());

    // Neither cache nor page: the program starts normally.
    UpdateFixture g;
    auto envG = g.Env();
    LaunchCheck(envG, g.state);
    EXPECT_TRUE(g.controls.Window(base::kMainWindow).loaded);
    EXPECT_FALSE(g.controls.ExitCode());
}

struct BackgroundCase {
    const char* what;
    std::optional<std::string> versionPage;  // payload; nullopt: unreachable
    std::optional<std::string> startTabPage;
    std::optional<int> finishedWith;          // start tab handed to FinishStartupLoading
    const char* message;                      // "" when none
    bool updaterStarted;
};

TEST(BackgroundCheckTest, EndsOrFinishesStartUp) {
    const std::string suspended = "软件已暂停服务!如有疑问请联系QQ：800100201 或 800100202";
    const std::string unreachable = "无法连接到服务器!部分功能可能无法使用";
    const BackgroundCase cases[] = {
        {"normal", "110|1|a|b", "1|", 1, "", false},
        {"start tab not a number", "110|1", "x|", 0, "", false},
        {"start tab page unreachable", "110|1", std::nullopt, 0, "", false},
        {"version page unreachable", std::nullopt, "1|", std::nullopt, unreachable.c_str(), false},
        {"payload without |", "110", "1|", std::nullopt, unreachable.c_str(), false},
        {"service suspended", "105|0|a|b", "0|", std::nullopt, suspended.c_str(), false},
        {"suspension wins over a newer version", "200|0", "0|", std::nullopt, suspended.c_str(), false},
        {"one field: no service switch", "105|", "0|", std::nullopt, suspended.c_str(), false},
        {"newer version", "111|1", "0|", std::nullopt, "", true},
        {"field 1 of 110abc", "110abc|1", "0|", 0, "", false},
    };
    for (const auto& c : cases) {
        UpdateFixture f;
        auto env = f.Env();
        NoticeCache(env.configFile).Write(Text("previous|1"));
        if (c.versionPage)
            f.notices[kVersionUrl] = *c.versionPage;
        if (c.startTabPage)
            f.notices[kStartTabUrl] = *c.startTabPage;
        std::optional<int> finished;
        BackgroundCheck(env, *f.state, [&](int tab) { finished = tab; });

        EXPECT_EQ(finished, c.finishedWith) << c.what;
        EXPECT_EQ(f.controls.ExitCode().has_value(), !c.finishedWith.has_value()) << c.what;
        const auto boxes = f.controls.MessageBoxes();
        if (*c.message) {
            ASSERT_EQ(boxes.size(), 1u) << c.what;
            EXPECT_EQ(boxes[0].text.ToUtf8(), c.message) << c.what;
            EXPECT_EQ(boxes[0].caption.ToUtf8(), "提示");
            EXPECT_EQ(boxes[0].style, base::kIconExclamation);
        } else {
            EXPECT_TRUE(boxes.empty()) << c.what;
        }
        EXPECT_EQ(f.controls.StartedProcesses().size(), c.updaterStarted ? 1u : 0u) << c.what;
        if (c.updaterStarted) {
            EXPECT_EQ(f.controls.StartedProcesses()[0], f.dir / "m_update.exe");
        }
        // The cache holds the payload of every run that got one, also of a run the payload then ends.
        const bool gotPayload = c.versionPage && c.versionPage->find('|') != std::string::npos;
        EXPECT_EQ(CachedNotice(f).ToUtf8(), gotPayload ? *c.versionPage : "previous|1") << c.what;
        EXPECT_EQ(f.fetched, (std::vector<std::string>{kStartTabUrl, kVersionUrl})) << c.what;
    }
}

TEST(NoticeCheckTest, EmptyAddressTurnsThatCheckOff) {
    const struct {
        bool versionOff, startTabOff;
        std::vector<std::string> fetched; // by both checks together
        int startTab;
    } cases[] = {
        {true, true, {}, 0},
        {true, false, {kStartTabUrl}, 3},
        {false, true, {kVersionUrl}, 0},
    };
    for (const auto& c : cases) {
        UpdateFixture f;
        auto env = f.Env();
        if (c.versionOff)
            env.versionNoticeUrl.clear();
        if (c.startTabOff)
            env.startTabNoticeUrl.clear();
        f.notices[kVersionUrl] = "105|1";
        f.notices[kStartTabUrl] = "3|";
        // A newer version cached while the check was on must not start an update once it is off.
        NoticeCache(env.configFile).Write(Text(c.versionOff ? "200|1|x|y" : "105|1"));
        LaunchCheck(env, f.state);
        EXPECT_TRUE(f.controls.Window(base::kMainWindow).loaded) << c.versionOff;
        std::optional<int> finished;
        BackgroundCheck(env, *f.state, [&](int tab) { finished = tab; });
        EXPECT_EQ(finished, c.startTab) << c.versionOff << c.startTabOff;
        EXPECT_TRUE(f.controls.MessageBoxes().empty());
        EXPECT_TRUE(f.controls.StartedProcesses().empty());
        EXPECT_EQ(f.fetched, c.fetched);
        // What the program made up is never cached as if a page had said it.
        EXPECT_EQ(CachedNotice(f).ToUtf8(), c.versionOff ? "200|1|x|y" : "105|1");
    }
}

TEST(NoticeCheckTest, PackagedInstallAnnouncesANewerVersionOnceAndCarriesOn) {
    UpdateFixture f;
    auto env = f.Env();
    env.selfUpdate = false;
    testing::WriteFile(f.exeDir / "m_update.exe", "#!/bin/sh\n");
    const std::string notice = "111|1|http://127.0.0.1:1/|v2/|5|6|7|8|http://dl.example/下载页";
    NoticeCache(env.configFile).Write(Text::FromUtf8(notice));
    f.notices[kVersionUrl] = notice;
    f.notices[kStartTabUrl] = "2|";

    LaunchCheck(env, f.state);
    EXPECT_TRUE(f.controls.Window(base::kMainWindow).loaded);
    EXPECT_EQ(f.controls.TimerInterval(base::kUpdateWindow, "时钟1"), 0);
    std::optional<int> finished;
    BackgroundCheck(env, *f.state, [&](int tab) { finished = tab; });
    EXPECT_EQ(finished, 2);

    ASSERT_EQ(f.controls.MessageBoxes().size(), 1u);
    EXPECT_NE(f.controls.MessageBoxes()[0].text.ToUtf8().find("软件包管理器"), std::string::npos);
    EXPECT_EQ(f.controls.OpenedAddresses(), std::vector<std::string>{"http://dl.example/下载页"});
    EXPECT_TRUE(f.controls.StartedProcesses().empty());
    EXPECT_FALSE(f.controls.ExitCode());
    EXPECT_TRUE(f.state->updateArchiveUrl.empty());
}

TEST(BackgroundCheckTest, ReadsTheRealNoticePages) {
    httplib::Server server;
    server.Get("/w2/blogDetail.do", [](const httplib::Request& req, httplib::Response& res) {
        const std::string body = req.get_param_value("blogId") == "1"
                                     ? "<p>开始喽111|0|x|结束喽</p><p>开始喽105|1|结束喽</p>"
                                     : "<p>开始喽1|结束喽</p>";
        res.set_content(body, "text/html; charset=utf-8");
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port, 0);
    std::thread serving([&] { server.listen_after_bind(); });
    ASSERT_TRUE(testing::PollUntil([&] { return server.is_running(); }));

    UpdateFixture f;
    auto env = f.Env();
    env.fetchNotice = NoticeTextFetch();
    const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/w2/blogDetail.do?hostID=h&blogId=";
    env.versionNoticeUrl = base + "1";
    env.startTabNoticeUrl = base + "2";
    bool finished = false;
    BackgroundCheck(env, *f.state, [&](int) { finished = true; });
    // Only the first payload on the page counts: the service is suspended.
    EXPECT_FALSE(finished);
    EXPECT_EQ(CachedNotice(f).ToUtf8(), "111|0|x|");
    ASSERT_EQ(f.controls.MessageBoxes().size(), 1u);
    EXPECT_EQ(f.controls.MessageBoxes()[0].text.ToUtf8().substr(0, 22), "软件已暂停服务!");

    // An unreachable notice host: the port is closed once the server stops.
    server.stop();
    serving.join();
    UpdateFixture g;
    auto envG = g.Env();
    envG.fetchNotice = NoticeTextFetch();
    envG.versionNoticeUrl = env.versionNoticeUrl;
    envG.startTabNoticeUrl = env.startTabNoticeUrl;
    BackgroundCheck(envG, *g.state, [&](int) { finished = true; });
    EXPECT_FALSE(finished);
    ASSERT_EQ(g.controls.MessageBoxes().size(), 1u);
    EXPECT_EQ(g.controls.MessageBoxes()[0].text.ToUtf8(), "无法连接到服务器!部分功能可能无法使用");
    EXPECT_EQ(g.controls.ExitCode(), 0);
}

} // namespace
} // namespace rankmoth::update
