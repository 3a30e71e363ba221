#pragma once

#include <string>
#include <string_view>

namespace rankmoth::cli {

// Standard output written line by line with write(2). A reader that goes away early (`| head -1`) turns
// into closed() rather than a SIGPIPE death or a half-written line: the process ignores SIGPIPE, and a
// failed write stops all further writing. Any other failure (a full disc, `> /dev/full`) is an error the
// user must hear of, since results were lost: failure() says where and why.
class OutputStream {
public:
    explicit OutputStream(int fd) : fd_(fd) {}

    // Writes `text` in full; false (and nothing more from then on) when the output is gone.
    bool Write(std::string_view text);
    bool closed() const { return closed_; }
    // Empty while every write went through or the reader merely went away; otherwise one line naming the
    // file and the reason ("cannot write the output to /dev/full: No space left on device").
    const std::string& failure() const { return failure_; }

private:
    int fd_;
    bool closed_ = false;
    std::string failure_;
};

} // namespace rankmoth::cli
