#include "update/update_install.h"

#include "update/archive_unpack.h"
#include "update/http_download.h"
#include "update/update_download.h"
#include "update/update_progress.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace rankmoth::update {

long long CompletedPercent(long long totalBytes, long long downloadedBytes) {
    const long long step = totalBytes / 100;
    if (step == 0)
        return 0;
    return static_cast<long long>(static_cast<double>(downloadedBytes) / static_cast<double>(step));
}

void InstallTick(const UpdateEnv& env, UpdateState& state) {
    if (state.installDone)
        return;
    base::Controls& c = env.controls;
    const auto w = base::kUpdateWindow;
    const long long total = state.counters.totalBytes.load();
    const long long downloaded = state.counters.downloadedBytes.load();

    const long long percent = CompletedPercent(total, downloaded);
    c.SetText(w, ui::kPercentLabel, "已完成:"_gbk + TextOfInteger(percent) + Text("%"));
    c.SetProgress(w, ui::kProgressBar, static_cast<int>(std::clamp(percent, 0LL, 100LL)));
    // Only a download that has returned success is complete: its archive is closed and has its final name.
    if (percent < 100 || state.downloadResult.load() != kDownloadComplete)
        return;

    state.installDone = true;
    c.SetText(w, ui::kDownloadedLabel,
              "已下载:"_gbk + FormatKilobytes(downloaded) + "KB 总共( "_gbk + TextOfInteger(state.elapsedSeconds) +
                  " 秒)"_gbk);
    if (env.showPicture)
        env.showPicture(UpdatePicture::kDone);
    c.SetControlVisible(w, ui::kDoneLabel, true);
    c.SetTimerInterval(w, ui::kTimer1, 0);
    c.SetTimerInterval(w, ui::kTimer2, 0);

    const std::string archivePath = env.workDir + "/m_update.zip";
    std::error_code ec;
    if (!std::filesystem::is_regular_file(archivePath, ec))
        return;
    std::vector<std::string> written;
    const UnpackResult unpacked = UnpackArchive(archivePath, env.workDir, &written);
    std::filesystem::remove(archivePath, ec);
    // An updater is only started from an archive that unpacked whole and brought it: a refused, broken,
    // empty or updater-less archive must not get a stale or half-written m_update.exe run.
    const bool broughtUpdater = std::find(written.begin(), written.end(), "m_update.exe") != written.end();
    if (unpacked == UnpackResult::kUnpacked && broughtUpdater)
        c.StartProcess(env.workDir + "/m_update.exe");

    c.OpenAddress(state.downloadPageAddress.ToUtf8());
    c.MessageBox("自动更新失败！刚刚打开的是最新版的下载网址\r\n请手动下载，之后卸载旧版，安装新版"_gbk,
                 base::kIconExclamation, "提示"_gbk);
    c.EndProgram(0);
}

} // namespace rankmoth::update
