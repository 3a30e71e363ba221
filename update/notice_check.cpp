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

Text Fetch(const UpdateEnv& env, const std::string& address, std::vector<Text>& fields) {
    if (!env.fetchNotice)
        return {};
    return env.fetchNotice(Text(address), fields);
}

} // namespace

Text NoticeCache::Read() const { return base::ReadSetting(file_, CacheSection(), CacheKey()); }

bool NoticeCache::Write(const Text& payload) const {
    return base::WriteSetting(file_, CacheSection(), CacheKey(), payload);
}

void LaunchCheck(const UpdateEnv& env, const std::shared_ptr<UpdateState>& state) {
    const Text cached = NoticeCache(env.configFile).Read();
    if (!cached.empty())
        state->noticeFields = SplitNoticeFields(cached);
    else
        Fetch(env, env.versionNoticeUrl, state->noticeFields);

    // With neither a cache nor a readable page there is no field 1: it reads as 0 and the program starts
    // normally; BackgroundCheck then reports the unreachable server.
    const long long version = IntegerOf(NoticeField(state->noticeFields, 1));
    if (version <= RunningVersionNumber) {
        env.controls.LoadWindow(base::kMainWindow, true);
        env.controls.CloseWindow(base::kUpdateWindow);
        return;
    }

    state->downloadPageAddress = NoticeField(state->noticeFields, 9);
    if (FileExists(env.executableDir + "/m_update.exe")) {
        env.controls.StartProcess(env.workDir + "/m_update.exe");
        return;
    }
    state->updateArchiveUrl = UpdateArchiveUrlOf(state->noticeFields);
    StartUpdateDownload(env, state);
}

void BackgroundCheck(const UpdateEnv& env, UpdateState& state, const std::function<void(int startTab)>& finish) {
    base::Controls& controls = env.controls;
    Fetch(env, env.startTabNoticeUrl, state.startTabFields);
    const Text payload = Fetch(env, env.versionNoticeUrl, state.versionFields);
    if (payload.empty()) {
        controls.MessageBox("无法连接到服务器!部分功能可能无法使用"_gbk, base::kIconExclamation, "提示"_gbk);
        controls.EndProgram(0);
        return;
    }
    // Cached before it is acted on, so that a notice that ends this run still steers the next LaunchCheck.
    NoticeCache(env.configFile).Write(payload);

    if (IntegerOf(NoticeField(state.versionFields, 2)) == 0) {
        controls.MessageBox(SuspendedMessage(), base::kIconExclamation, "提示"_gbk);
        controls.EndProgram(0);
        return;
    }
    if (IntegerOf(NoticeField(state.versionFields, 1)) > RunningVersionNumber) {
        controls.StartProcess(env.workDir + "/m_update.exe");
        controls.EndProgram(0);
        return;
    }
    if (finish)
        finish(static_cast<int>(std::clamp<long long>(IntegerOf(NoticeField(state.startTabFields, 1)), INT_MIN,
                                                      INT_MAX)));
}

} // namespace rankmoth::update
