#include "cli/progress_bar.h"

#include <algorithm>
#include <cstdio>

#include <sys/ioctl.h>
#include <unistd.h>

namespace rankmoth::cli {

namespace {

int TerminalColumns(int fd) {
    winsize size{};
    if (::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

} // namespace

ProgressBar::ProgressBar(int fd, bool force)
    : fd_(fd), enabled_(force || ::isatty(fd) == 1), started_(std::chrono::steady_clock::now()) {}

ProgressBar::~ProgressBar() {
    Clear();
}

std::string ProgressBar::Render(const Progress& progress, std::chrono::steady_clock::duration elapsed, int columns) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
    char clock[16];
    std::snprintf(clock, sizeof clock, "%lld:%02lld", static_cast<long long>(seconds / 60),
                  static_cast<long long>(seconds % 60));
    std::string counts;
    if (progress.pagesTotal > 0) {
        counts = "  " + std::to_string(progress.pagesDone) + "/" + std::to_string(progress.pagesTotal) + " pages  " +
                 std::to_string(progress.requests) + " requests  " + std::to_string(progress.failed) + " failed  ";
    } else {
        counts = "  " + std::to_string(progress.itemsLoaded) + " items  ";
    }
    std::string left;
    // The pages still to walk at the pace of those walked: a rough figure, but the one a user waiting wants.
    if (progress.pagesTotal > progress.pagesDone && progress.pagesDone > 0) {
        const long long rest = seconds * (progress.pagesTotal - progress.pagesDone) / progress.pagesDone;
        char text[32];
        std::snprintf(text, sizeof text, " (%lld:%02lld left)", rest / 60, rest % 60);
        left = text;
    }
    const std::string head = progress.phase + " ";
    const std::string tail = counts + clock + left;
    const int barWidth = std::min(30, columns - 1 - static_cast<int>(head.size() + tail.size()) - 2);
    std::string line = head;
    if (barWidth >= 5 && progress.pagesTotal > 0) {
        const int filled = std::clamp(progress.pagesDone * barWidth / progress.pagesTotal, 0, barWidth);
        // Appended piece by piece here and below: GCC 12 at -O3 misreads "[" + std::string&& as an
        // overlapping copy (-Wrestrict).
        line += '[';
        line.append(static_cast<std::size_t>(filled), '#');
        line.append(static_cast<std::size_t>(barWidth - filled), '-');
        line += ']';
    }
    line += tail;
    if (static_cast<int>(line.size()) > columns - 1)
        line.resize(static_cast<std::size_t>(std::max(0, columns - 1)));
    return line;
}

void ProgressBar::Update(const Progress& progress, bool now) {
    if (!enabled_)
        return;
    const auto t = std::chrono::steady_clock::now();
    if (!now && drawn_ && t - lastDraw_ < std::chrono::milliseconds(100))
        return;
    lastDraw_ = t;
    drawn_ = true;
    std::string line = "\r";
    line += Render(progress, t - started_, TerminalColumns(fd_));
    line += "\x1b[K";
    WriteAll(fd_, line);
}

void ProgressBar::Clear() {
    if (!enabled_ || !drawn_)
        return;
    drawn_ = false;
    WriteAll(fd_, "\r\x1b[K");
}

} // namespace rankmoth::cli
