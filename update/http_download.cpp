#include "update/http_download.h"

#include "update/http_request.h"
#include "web/socket_client.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace rankmoth::update {

namespace {

constexpr std::string_view kHeadEnd = "\r\n\r\n";
constexpr std::string_view kAcceptedStatus = "HTTP/1.1 20";
// A head that grows past this without its empty line is not an HTTP answer we can use.
constexpr std::size_t kMaxHeadBytes = 64 * 1024;

// The temporary file, open for appending and locked against other writers (a second copy of the program
// continuing the same download) while it is open.
class File {
public:
    enum class Opened { kYes, kFailed, kBusy };

    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { Close(); }

    // Created when missing; `restart` empties it once it is ours.
    Opened Open(const std::string& path, bool restart) {
        Close();
        // A link planted under the temporary name would have the download written wherever it points.
        fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd_ < 0)
            return Opened::kFailed;
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
            Close();
            return Opened::kBusy;
        }
        if (restart && ::ftruncate(fd_, 0) != 0)
            return Opened::kFailed;
        return Opened::kYes;
    }
    bool Write(std::string_view bytes) {
        while (!bytes.empty()) {
            if (fd_ < 0)
                return false;
            const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }
    bool Close() {
        if (fd_ < 0)
            return true;
        const bool ok = ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }

private:
    int fd_ = -1;
};

// Size of a file, -1 when it does not exist or is not a plain file (a link is not followed).
long long FileSize(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(path, ec)))
        return -1;
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
        const File::Opened opened = file.Open(tmpPath, base == 0);
        // The file is another copy's to finish or drop: left alone.
        if (opened == File::Opened::kBusy)
            return kSizeMismatch;
        writeFailed = opened != File::Opened::kYes || !file.Write(body);
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
