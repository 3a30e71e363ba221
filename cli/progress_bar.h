#pragma once

#include <chrono>
#include <string>

namespace rankmoth::cli {

// Where a run stands, as the progress line shows it.
struct Progress {
    std::string phase; // "loading shop", "pop", ...
    int itemsLoaded = 0;
    int pagesDone = 0;
    int pagesTotal = 0;
    int requests = 0;
    int failed = 0;
};

// One line on a terminal's stderr, redrawn in place; does nothing when stderr is not a terminal, so pipes
// and log files stay clean.
class ProgressBar {
public:
    // `fd` is drawn on only when it is a terminal (or when `force` is set, for the tests).
    explicit ProgressBar(int fd, bool force = false);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    bool enabled() const { return enabled_; }
    // Redraws at most ten times a second unless `now` is set.
    void Update(const Progress& progress, bool now = false);
    // Wipes the line, so that what follows on the terminal starts clean.
    void Clear();

    // The line for a terminal `columns` wide (without control sequences); public for the tests.
    static std::string Render(const Progress& progress, std::chrono::steady_clock::duration elapsed, int columns);

private:
    int fd_;
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point started_;
    std::chrono::steady_clock::time_point lastDraw_{};
};

} // namespace rankmoth::cli
