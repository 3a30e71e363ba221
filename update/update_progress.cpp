#include "update/update_progress.h"

#include "update/update_download.h"

#include <cmath>
#include <cstdio>

namespace rankmoth::update {

namespace {
constexpr std::size_t kMaxWholePathBytes = 46;
constexpr int kShortPathBytes = 20;
} // namespace

ArchiveNames ArchiveNamesOf(const Text& address, const std::string& workDir) {
    const std::vector<Text> pieces = SplitAll(address, Text("/"));
    ArchiveNames names;
    names.hostLabel = pieces.size() >= 3 ? pieces[2] : Text();
    names.fileName = pieces.back();
    names.localPath = workDir + "/" + names.fileName.bytes();
    return names;
}

Text PathLabelText(const Text& localPath, const Text& fileName) {
    if (localPath.size() <= kMaxWholePathBytes)
        return "下载到:"_gbk + localPath;
    return "下载到:"_gbk + Left(localPath, kShortPathBytes) + Text("...\\") + fileName;
}

Text FormatKilobytes(long long bytes) {
    const float kilobytes = static_cast<float>(static_cast<double>(bytes) / 1024.0);
    char out[64];
    std::snprintf(out, sizeof out, "%.6g", static_cast<double>(kilobytes));
    return Text(out);
}

void ProgressTick(const UpdateEnv& env, UpdateState& state) {
    base::Controls& c = env.controls;
    const auto w = base::kUpdateWindow;
    const long long total = state.counters.totalBytes.load();
    const long long downloaded = state.counters.downloadedBytes.load();

    state.elapsedSeconds += 1;
    state.lastSecondBytes =
        state.previousDownloadedBytes != 0 ? downloaded - state.previousDownloadedBytes : downloaded;
    state.previousDownloadedBytes += state.lastSecondBytes;

    c.SetText(w, ui::kSizeLabel, "文件大小:"_gbk + FormatKilobytes(total) + Text("KB"));
    c.SetText(w, ui::kDownloadedLabel,
              "已下载:"_gbk + FormatKilobytes(downloaded) + "KB 总共("_gbk + TextOfInteger(state.elapsedSeconds) +
                  "秒)"_gbk);
    const auto speed = static_cast<long long>(std::floor(static_cast<double>(state.lastSecondBytes) / 1024.0));
    c.SetText(w, ui::kSpeedLabel, "下载速度:"_gbk + TextOfInteger(speed) + "KB/秒"_gbk);
    const auto average = static_cast<long long>(
        std::floor(static_cast<double>(downloaded) / 1024.0 / static_cast<double>(state.elapsedSeconds)));
    c.SetText(w, ui::kAverageLabel, "平均速度:"_gbk + TextOfInteger(average) + "KB/秒"_gbk);
    long long remaining = 0;
    if (average != 0)
        remaining = static_cast<long long>(
            std::floor(std::floor(static_cast<double>(total - downloaded) / static_cast<double>(average)) / 1024.0));
    c.SetText(w, ui::kRemainingLabel, "剩余时间:"_gbk + TextOfInteger(remaining) + " 秒"_gbk);
}

} // namespace rankmoth::update
