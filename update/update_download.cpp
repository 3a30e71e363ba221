#include "update/update_download.h"

#include "update/http_download.h"
#include "update/update_progress.h"
#include "web/socket_client.h"

#include <thread>

namespace rankmoth::update {

void StartUpdateDownload(const UpdateEnv& env, const std::shared_ptr<UpdateState>& state) {
    base::Controls& c = env.controls;
    const auto w = base::kUpdateWindow;
    c.SetTimerInterval(w, ui::kTimer1, 1000);
    c.SetTimerInterval(w, ui::kTimer2, 100);
    c.SetControlVisible(w, ui::kBanner, true);
    c.SetControlVisible(w, ui::kDoneLabel, false);
    if (env.showPicture)
        env.showPicture(UpdatePicture::kBanner);
    state->previousDownloadedBytes = 0;
    state->lastSecondBytes = 0;
    state->elapsedSeconds = 0;
    c.SetProgress(w, ui::kProgressBar, 0);
    state->counters.totalBytes = 0;
    state->counters.downloadedBytes = 0;
    state->downloadResult = -1;

    // The thread keeps the state alive; the environment is copied because the caller's may not outlive it.
    std::thread([env, state] { DownloadThread(env, *state); }).detach();
}

void DownloadThread(const UpdateEnv& env, UpdateState& state) {
    base::Controls& c = env.controls;
    const ArchiveNames names = ArchiveNamesOf(state.updateArchiveUrl, env.workDir);
    const Text shownPath = Text::FromUtf8(names.localPath);
    c.SetText(base::kUpdateWindow, ui::kPathLabel, PathLabelText(shownPath, names.fileName));
    c.SetText(base::kUpdateWindow, ui::kFileLabel, names.fileName + " (来自 "_gbk + names.hostLabel + Text(" )"));

    web::SocketClient socket;
    DownloadOptions options;
    options.receiveTimeoutSeconds = env.receiveTimeoutSeconds;
    const int result = HttpDownload(socket, state.updateArchiveUrl, names.localPath, state.counters.totalBytes,
                                    state.counters.downloadedBytes, options);
    state.downloadResult = result;
    if (result != kDownloadComplete) {
        c.MessageBox("下载失败!请手动下载更新"_gbk, base::kIconExclamation, "信息提示:"_gbk);
        c.OpenAddress(state.downloadPageAddress.ToUtf8());
        c.EndProgram(0);
    }
    state.downloadThreadDone->Signal();
}

} // namespace rankmoth::update
