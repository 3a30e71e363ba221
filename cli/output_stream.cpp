#include "cli/output_stream.h"

#include <cerrno>

#include <unistd.h>

namespace rankmoth::cli {

bool OutputStream::Write(std::string_view text) {
    while (!closed_ && !text.empty()) {
        const ssize_t n = ::write(fd_, text.data(), text.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            closed_ = true;
            break;
        }
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return !closed_;
}

} // namespace rankmoth::cli
