#include "web/transfer_verdict.h"

#include "web/header_text.h"
#include "web/http_hops.h"

#include <curl/curl.h>

#include <algorithm>
#include <charconv>

namespace rankmoth::web {

namespace {

std::string SecondsText(std::chrono::milliseconds duration) {
    const auto ms = duration.count();
    if (ms % 1000 == 0)
        return std::to_string(ms / 1000) + " s";
    std::string text = std::to_string(ms / 1000) + "." + std::to_string(ms % 1000 + 1000).substr(1);
    while (text.back() == '0')
        text.pop_back();
    return text + " s";
}

std::string SizeText(std::size_t bytes) {
    if (bytes >= (std::size_t{1} << 20) && bytes % (std::size_t{1} << 20) == 0)
        return std::to_string(bytes >> 20) + " MiB";
    if (bytes >= 1024 && bytes % 1024 == 0)
        return std::to_string(bytes >> 10) + " KiB";
    return std::to_string(bytes) + " bytes";
}

} // namespace

std::string DeadlineReason(std::chrono::milliseconds deadline) {
    return "deadline of " + SecondsText(deadline) + " passed";
}

Answer JudgeTransfer(const TransferFacts& facts) {
    using base::FailureKind;
    Answer verdict;
    verdict.status = facts.status;
    verdict.curlCode = facts.curlCode;
    const auto fail = [&verdict](FailureKind kind, std::string reason) {
        verdict.failure = kind;
        verdict.reason = std::move(reason);
        return verdict;
    };
    switch (static_cast<CURLcode>(facts.curlCode)) {
    case CURLE_OK:
        break;
    case CURLE_COULDNT_CONNECT:
        return fail(FailureKind::Refused, "connection refused");
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return fail(FailureKind::Unresolved, "could not resolve host");
    case CURLE_OPERATION_TIMEDOUT:
        return fail(FailureKind::Deadline, facts.deadline > std::chrono::milliseconds::zero()
                                               ? DeadlineReason(facts.deadline)
                                               : std::string("timed out"));
    case CURLE_FILESIZE_EXCEEDED:
        return fail(FailureKind::TooLarge, "answer over " + SizeText(facts.maxBody));
    case CURLE_WRITE_ERROR:
        if (facts.overCap)
            return fail(FailureKind::TooLarge, "answer over " + SizeText(facts.maxBody));
        return fail(FailureKind::Stopped, "stopped");
    case CURLE_ABORTED_BY_CALLBACK:
        return fail(FailureKind::Stopped, "stopped");
    case CURLE_PARTIAL_FILE:
        if (facts.announced >= 0)
            return fail(FailureKind::CutOff, "answer cut off after " + std::to_string(facts.received) + " of " +
                                                 std::to_string(facts.announced) + " bytes");
        return fail(FailureKind::CutOff, "answer cut off after " + std::to_string(facts.received) + " bytes");
    case CURLE_GOT_NOTHING:
        return fail(FailureKind::CutOff, "connection closed without an answer");
    default:
        return fail(FailureKind::Other, LowerAscii(curl_easy_strerror(static_cast<CURLcode>(facts.curlCode))));
    }
    if (!facts.headComplete || facts.status == 0)
        return fail(FailureKind::Other, "no HTTP answer");
    // libcurl accepts a body that ends early when the server closes a connection it said it would keep;
    // the length it announced is the only witness.
    const bool hasBody = facts.status >= 200 && facts.status != 204 && facts.status != 304;
    if (hasBody && facts.announced >= 0 && facts.received < static_cast<std::size_t>(facts.announced))
        return fail(FailureKind::CutOff, "answer cut off after " + std::to_string(facts.received) + " of " +
                                             std::to_string(facts.announced) + " bytes");
    if (facts.status >= 200 && facts.status < 300) {
        verdict.ok = true;
        return verdict;
    }
    if (facts.redirectNotFollowed && facts.status >= 300 && facts.status < 400) {
        verdict.ok = true;
        return verdict;
    }
    if ((facts.status == 429 || facts.status == 503) && !facts.retryAfter.empty())
        verdict.retryAfter = ParseRetryAfter(facts.retryAfter, facts.now);
    return fail(FailureKind::HttpStatus, "HTTP " + std::to_string(facts.status));
}

std::optional<std::chrono::seconds> ParseRetryAfter(std::string_view value, std::time_t now) {
    value = TrimBlanks(value);
    if (value.empty())
        return std::nullopt;
    if (std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        long long seconds = 0;
        const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), seconds);
        // Too large to hold is as good as forever; the caller caps what it waits.
        if (error == std::errc::result_out_of_range)
            seconds = 1LL << 40;
        else if (error != std::errc() || end != value.data() + value.size())
            return std::nullopt;
        return std::chrono::seconds(seconds);
    }
    const std::string date(value);
    const std::time_t when = curl_getdate(date.c_str(), nullptr);
    if (when == -1)
        return std::nullopt;
    return std::chrono::seconds(when > now ? when - now : 0);
}

} // namespace rankmoth::web
