#pragma once

#include <string_view>

namespace rankmoth::cli {

// Standard output written line by line with write(2). A reader that goes away early (`| head -1`) turns
// into closed() rather than a SIGPIPE death or a half-written line: the process ignores SIGPIPE, and a
// failed write stops all further writing.
class OutputStream {
public:
    explicit OutputStream(int fd) : fd_(fd) {}

    // Writes `text` in full; false (and nothing more from then on) when the reader is gone.
    bool Write(std::string_view text);
    bool closed() const { return closed_; }

private:
    int fd_;
    bool closed_ = false;
};

} // namespace rankmoth::cli
