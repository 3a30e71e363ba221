#pragma once

#include "cli/watch_file.h"

#include <cstdint>
#include <ctime>
#include <string>

namespace rankmoth::cli {

// The span of time whose work every machine running the same watch shares: one shop feed load and one walk of
// each listing, whoever does them.
struct Round {
    std::string id; // "<watch digest>-<span number>", the same on every machine for the same watch and span
    std::time_t starts = 0;
    std::time_t ends = 0;
};

// The watch's shops and listings in a fixed order, hashed: two files that ask for the same work agree whatever
// their order, comments, names or pacing, and a file that asks for other work does not.
std::string WatchDigest(const Watch& watch);

// The round `now` falls in: the watch's digest and floor(now / every).
Round RoundOf(const Watch& watch, std::time_t now);

} // namespace rankmoth::cli
