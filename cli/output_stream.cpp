#include "cli/output_stream.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

namespace rankmoth::cli {

namespace {

// The file behind `fd` by its name, or what it is when it has none a user would know.
std::string Describe(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))) {
        std::error_code error;
        const auto path = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd), error);
        if (!error)
            return path.string();
    }
    return fd == STDOUT_FILENO ? "standard output" : "file descriptor " + std::to_string(fd);
}

} // namespace

bool OutputStream::Write(std::string_view text) {
    while (!closed_ && !text.empty()) {
        const ssize_t n = ::write(fd_, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC; // a write of nothing is a device that takes no more
            closed_ = true;
            if (error != EPIPE)
                failure_ = "cannot write the output to " + Describe(fd_) + ": " + std::strerror(error);
            break;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return !closed_;
}

} // namespace rankmoth::cli
