#pragma once

#include "update/update_state.h"
#include "base/text.h"

#include <cstdint>
#include <optional>
#include <string>

namespace rankmoth::web {
class SocketClient;
}

namespace rankmoth::update {

// DownloadResult of HttpDownload.
enum DownloadResult : int {
    kDownloadComplete = 0,
    kSocketCreateFailed = 1,
    kBindFailed = 2,
    kConnectFailed = 3,
    kSendFailed = 4,
    kSizeMismatch = 5,
    kBadStatus = 6,
};

struct DownloadOptions {
    int receiveTimeoutSeconds = 15;
    // Bytes held in memory before they are appended to the file.
    std::size_t writeBufferBytes = 20480;
};

// Downloads `address` into `localPath` over `socket`, through `localPath` + ".tmp", resuming a .tmp that an
// interrupted run left behind. Updates the counters while it runs; closes the socket when done.
int HttpDownload(web::SocketClient& socket, const Text& address, const std::string& localPath,
                 std::atomic<std::uint32_t>& totalBytes, std::atomic<std::uint32_t>& downloadedBytes,
                 const DownloadOptions& options = {});

} // namespace rankmoth::update
