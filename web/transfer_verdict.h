#pragma once

#include "web/answer.h"

#include <chrono>
#include <cstddef>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace rankmoth::web {

// What the transfer of the final hop left behind, for judging it.
struct TransferFacts {
    int curlCode = 0;
    long status = 0;
    bool headComplete = false;
    bool redirectNotFollowed = false; // a 3xx the caller asked not to follow
    bool overCap = false;             // the body passed maxBody
    std::size_t received = 0;
    long long announced = -1; // Content-Length, -1 when none was given
    std::chrono::milliseconds deadline{0};
    std::size_t maxBody = 0;
    std::string retryAfter; // the Retry-After value of the head, as sent
    std::time_t now = 0;    // for a Retry-After given as a date
};

// "deadline of 30 s passed", "deadline of 0.7 s passed".
std::string DeadlineReason(std::chrono::milliseconds deadline);

// The verdict on a finished transfer: ok only for a whole answer with a 2xx status (or a redirect left
// unfollowed on purpose); otherwise the kind of failure and a short reason. The body is not touched.
Answer JudgeTransfer(const TransferFacts& facts);

// A Retry-After value as seconds to wait from `now`: delta-seconds, or an HTTP date (a date in the past is
// 0). Nothing for a value that is neither.
std::optional<std::chrono::seconds> ParseRetryAfter(std::string_view value, std::time_t now);

} // namespace rankmoth::web
