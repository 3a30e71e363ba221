#include "update/http_download.h"

#include "web/socket_client.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace rankmoth::update {

namespace {

constexpr std::string_view kHeadEnd = "\r\n\r\n";
constexpr std::string_view kAcceptedStatus = "HTTP/1.1 20";
// A head that grows past this without its empty line is not an HTTP answer we can use.
constexpr std::size_t kMaxHeadBytes = 64 * 1024;

// One stdio file, closed when it goes out of scope.
class File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { Close(); }

    bool Open(const std::string& path, bool truncate) {
        Close();
        file_ = std::fopen(path.c_str(), truncate ? "wb" : "ab");
        return file_ != nullptr;
    }
    bool Write(std::string_view bytes) {
        if (!file_)
            return false;
        return bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file_) == bytes.size();
    }
    bool Close() {
        if (!file_)
            return true;
        const bool ok = std::fclose(file_) == 0;
        file_ = nullptr;
        return ok;
    }

private:
    std::FILE* file_ = nullptr;
};

// Size of a file, -1 when it does not exist.
long long FileSize(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? -1 : static_cast<long long>(size);
}

void RemoveFile(const std::string& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

// The transfer after the request was sent: reads the head, then the body into the .tmp file.
int Transfer(web::SocketClient& socket, const std::string& localPath, std::atomic<std::uint32_t>& totalBytes,
             std::atomic<std::uint32_t>& downloadedBytes, const DownloadOptions& options, long long resumeFrom) {
    const std::string tmpPath = localPath + ".tmp";
    const bool resuming = resumeFrom >= 0;

    // The head is judged only once it is complete: it may arrive in several blocks.
    Bytes received;
    Bytes block;
    std::size_t headEnd = std::string::npos;
    while (headEnd == std::string::npos) {
        if (!socket.Receive(block, options.receiveTimeoutSeconds))
            break;
        received += block;
        headEnd = received.find(kHeadEnd);
        if (headEnd == std::string::npos && received.size() > kMaxHeadBytes)
            return kBadStatus;
    }
    // An answer that broke off inside its head is judged by what came of it.
    if (headEnd == std::string::npos && !received.empty() && received.rfind(kAcceptedStatus, 0) != 0)
        return kBadStatus;

    std::uint64_t total = 0;
    std::uint64_t downloaded = 0;
    bool knownLength = false;
    bool writeFailed = false;
    File file;
    Bytes buffer;
    if (headEnd != std::string::npos) {
        const ResponseHead head = ParseResponseHead(received.substr(0, headEnd + kHeadEnd.size()));
        std::uint64_t base = 0;
        // A partial file the server cannot continue is useless: dropped, so that the next run starts clean.
        if (!head.accepted) {
            if (resuming && head.status == 416)
                RemoveFile(tmpPath);
            return kBadStatus;
        }
        if (resuming && head.status == 206) {
            // A range that does not continue the partial file cannot be joined to it.
            if (head.rangeStart != static_cast<std::uint64_t>(resumeFrom)) {
                RemoveFile(tmpPath);
                return kSizeMismatch;
            }
            base = static_cast<std::uint64_t>(resumeFrom);
        }
        // Any other 2xx answer to a resume carries the whole file: the partial one starts over.
        knownLength = received.find("Content-Length: ") < headEnd;
        total = head.contentLength + base;
        const std::string_view body = std::string_view(received).substr(headEnd + kHeadEnd.size());
        writeFailed = !file.Open(tmpPath, base == 0) || !file.Write(body);
        downloaded = base + body.size();
        totalBytes.store(static_cast<std::uint32_t>(total));
        downloadedBytes.store(static_cast<std::uint32_t>(downloaded));
        buffer.reserve(options.writeBufferBytes + 8192);

        while (!writeFailed && !(knownLength && downloaded == total)) {
            if (!socket.Receive(block, options.receiveTimeoutSeconds))
                break;
            buffer += block;
            downloaded += block.size();
            downloadedBytes.store(static_cast<std::uint32_t>(downloaded));
            if (buffer.size() >= options.writeBufferBytes) {
                writeFailed = !file.Write(buffer);
                buffer.clear();
            }
        }
    }

    writeFailed = !file.Write(buffer) || writeFailed;
    writeFailed = !file.Close() || writeFailed;
    // Without a length the end of the file cannot be told from a broken transfer, and an empty archive is
    // never an update: both count as a failed download rather than a finished one.
    const long long size = FileSize(tmpPath);
    if (!writeFailed && knownLength && total > 0 && size >= 0 && static_cast<std::uint64_t>(size) == total) {
        std::error_code ec;
        std::filesystem::remove(localPath, ec);
        std::filesystem::rename(tmpPath, localPath, ec);
        return kDownloadComplete;
    }
    RemoveFile(tmpPath);
    return kSizeMismatch;
}

} // namespace

int HttpDownload(web::SocketClient& socket, const Text& address, const std::string& localPath,
                 std::atomic<std::uint32_t>& totalBytes, std::atomic<std::uint32_t>& downloadedBytes,
                 const DownloadOptions& options) {
    const DownloadTarget target = DownloadTargetOf(address);
    if (!socket.Create())
        return kSocketCreateFailed;
    struct CloseAtEnd {
        web::SocketClient& socket;
        ~CloseAtEnd() { socket.Close(); }
    } closeAtEnd{socket};
    if (!socket.Bind(0))
        return kBindFailed;
    if (!socket.Connect(target.connectHost, target.port))
        return kConnectFailed;

    const long long resumeFrom = FileSize(localPath + ".tmp");
    const Bytes request = resumeFrom >= 0 ? ResumeRequest(target, static_cast<std::uint64_t>(resumeFrom))
                                          : FreshRequest(target);
    if (!socket.Send(request))
        return kSendFailed;
    return Transfer(socket, localPath, totalBytes, downloadedBytes, options, resumeFrom);
}

} // namespace rankmoth::update
