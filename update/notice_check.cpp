#include "update/notice_check.h"

#include "base/endpoints.h"
#include "base/settings.h"
#include "update/update_download.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <system_error>

namespace rankmoth::update {

namespace {

const Text& CacheSection() {
    static const Text section("peizhi");
    return section;
}
const Text& CacheKey() {
    static const Text key("caishu");
    return key;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

enum class Notice { Version, StartTab };

// An empty address turns its check off: the notice then reads as one of the running version with the
// service on, and as start tab 0, so that a self-hosted user without notice pages gets a program that starts.
Text Fetch(const UpdateEnv& env, const std::string& address, Notice notice, std::vector<Text>& fields) {
    if (address.empty()) {
        const Text payload = notice == Notice::Version ? TextOfInteger(RunningVersionNumber) + Text("|1") : Text("0");
        fields = SplitNoticeFields(payload);
        return payload;
    }
    if (!env.fetchNotice)
        return {};
    return env.fetchNotice(Text(address), fields);
}

// The packaged install's answer to a newer version: say so once, show the download page, and carry on.
void AnnounceNewerVersion(const UpdateEnv& env, UpdateState& state, const Text& downloadPage) {
    if (state.newerVersionAnnounced.exchange(true))
        return;
    env.controls.MessageBox(
        "发现新版本！本软件由系统的软件包管理器安装，请通过软件包管理器更新。\r\n刚刚打开的是新版本的下载网址。"_gbk,
        base::kIconInformation, "提示"_gbk);
    env.controls.OpenAddress(downloadPage.ToUtf8());
}

} // namespace

Text NoticeCache::Read() const { return base::ReadSetting(file_, CacheSection(), CacheKey()); }

bool NoticeCache::Write(const Text& payload) const {
    return base::WriteSetting(file_, CacheSection(), CacheKey(), payload);
}

void LaunchCheck(const UpdateEnv& env, const std::shared_ptr<UpdateState>& state) {
    // With the check off, a cache left from when it was on must not steer this start.
    const Text cached = env.versionNoticeUrl.empty() ? Text() : NoticeCache(env.configFile).Read();
    if (!cached.empty())
        state->noticeFields = SplitNoticeFields(cached);
    else
        Fetch(env, env.versionNoticeUrl, Notice::Version, state->noticeFields);

    // With neither a cache nor a readable page there is no field 1: it reads as 0 and the program starts
    // normally; BackgroundCheck then reports the unreachable server.
    const long long version = IntegerOf(NoticeField(state->noticeFields, 1));
    if (version <= RunningVersionNumber) {
        env.controls.LoadWindow(base::kMainWindow, true);
        env.controls.CloseWindow(base::kUpdateWindow);
        return;
    }

    state->downloadPageAddress = NoticeField(state->noticeFields, 9);
    if (!env.selfUpdate) {
        AnnounceNewerVersion(env, *state, state->downloadPageAddress);
        env.controls.LoadWindow(base::kMainWindow, true);
        env.controls.CloseWindow(base::kUpdateWindow);
        return;
    }
    if (FileExists(env.executableDir + "/m_update.exe")) {
        env.controls.StartProcess(env.workDir + "/m_update.exe");
        return;
    }
    state->updateArchiveUrl = UpdateArchiveUrlOf(state->noticeFields);
    StartUpdateDownload(env, state);
}

void BackgroundCheck(const UpdateEnv& env, UpdateState& state, const std::function<void(int startTab)>& finish) {
    base::Controls& controls = env.controls;
    Fetch(env, env.startTabNoticeUrl, Notice::StartTab, state.startTabFields);
    const Text payload = Fetch(env, env.versionNoticeUrl, Notice::Version, state.versionFields);
    if (payload.empty()) {
        controls.MessageBox("无法连接到服务器!部分功能可能无法使用"_gbk, base::kIconExclamation, "提示"_gbk);
        controls.EndProgram(0);
        return;
    }
    // Cached before it is acted on, so that a notice that ends this run still steers the next LaunchCheck.
    if (!env.versionNoticeUrl.empty())
        NoticeCache(env.configFile).Write(payload);

    if (IntegerOf(NoticeField(state.versionFields, 2)) == 0) {
        controls.MessageBox(SuspendedMessage(), base::kIconExclamation, "提示"_gbk);
        controls.EndProgram(0);
        return;
    }
    if (IntegerOf(NoticeField(state.versionFields, 1)) > RunningVersionNumber) {
        if (!env.selfUpdate) {
            AnnounceNewerVersion(env, state, NoticeField(state.versionFields, 9));
        } else {
            controls.StartProcess(env.workDir + "/m_update.exe");
            controls.EndProgram(0);
            return;
        }
    }
    if (finish)
        finish(static_cast<int>(std::clamp<long long>(IntegerOf(NoticeField(state.startTabFields, 1)), INT_MIN,
                                                      INT_MAX)));
}

} // namespace rankmoth::update
