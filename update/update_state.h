#pragma once

#include "base/controls.h"
#include "base/eventpump.h"
#include "base/text.h"
#include "base/version.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rankmoth::update {

// The version this program is: notices announcing a higher number start the update.
inline constexpr long long RunningVersionNumber = base::kVersionNumber;

// Fetches a notice page and splits its payload into fields (NoticeText::SplitNotice with UTF-8 conversion):
// returns the payload, "" when there is none, and replaces `fields` only when the payload is not empty.
using NoticeFetch = std::function<Text(const Text& address, std::vector<Text>& fields)>;

// The pictures the program carries for 图片框1 of UpdateWindow.
enum class UpdatePicture { kBanner, kDone };

// What the update logic needs from around it. Paths are file-system paths (UTF-8 on this platform).
struct UpdateEnv {
    base::Controls& controls;
    std::string versionNoticeUrl;
    std::string startTabNoticeUrl;
    NoticeFetch fetchNotice;
    std::string configFile;    // the settings file that holds the notice cache
    std::string executableDir; // where an already delivered updater is looked for
    std::string workDir;       // the "current directory" the archive, its .tmp and the updater live in
    int receiveTimeoutSeconds = 15;
    // False in a packaged install, whose files the system's package manager owns: a newer version is then
    // announced with its download page, and nothing is downloaded, unpacked or started.
    bool selfUpdate = true;
    // Puts a carried picture into 图片框1 of UpdateWindow, which the control operations cannot.
    std::function<void(UpdatePicture)> showPicture = {};
};

// The download counters. They are single 32-bit words written by the download thread and read by the two
// timers of UpdateWindow; nothing else is shared between those threads.
struct DownloadCounters {
    std::atomic<std::uint32_t> totalBytes{0};
    std::atomic<std::uint32_t> downloadedBytes{0};
};

// Process-wide state of the notice checks, the download and the install. Owned by the composition root
// through a shared_ptr so that the download thread can keep it alive.
struct UpdateState {
    std::vector<Text> noticeFields;   // of the version notice, as LaunchCheck read it
    std::vector<Text> versionFields;  // of the version notice, as BackgroundCheck fetched it
    std::vector<Text> startTabFields; // of the start-tab notice
    Text updateArchiveUrl;
    Text downloadPageAddress; // GBK like every notice field; the browser is given it in UTF-8

    DownloadCounters counters;
    // Window thread only (ProgressTick, InstallTick).
    long long elapsedSeconds = 0;
    long long previousDownloadedBytes = 0;
    long long lastSecondBytes = 0;
    bool installDone = false;
    // Set once a packaged install has announced the newer version, so both checks of a start say it once.
    std::atomic<bool> newerVersionAnnounced{false};

    // The result of HttpDownload once it has returned; -1 while none has.
    std::atomic<int> downloadResult{-1};
    // Set when the download thread has finished everything it does (including its failure message).
    std::shared_ptr<base::DoneSignal> downloadThreadDone = std::make_shared<base::DoneSignal>();
};

} // namespace rankmoth::update
