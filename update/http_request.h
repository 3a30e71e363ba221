#pragma once

#include "base/text.h"

#include <cstdint>
#include <optional>

namespace rankmoth::update {

// Where a download address connects to and what it asks for.
struct DownloadTarget {
    Text connectHost;
    int port = 80;
    Text hostHeader; // host, with ":port" when the address names a port
    Text path;       // the address without "http://" + hostHeader + "/"
};
DownloadTarget DownloadTargetOf(const Text& address);

// The request texts: a fresh one, and one that resumes a partial file of `resumeFrom` bytes.
Bytes FreshRequest(const DownloadTarget& target);
Bytes ResumeRequest(const DownloadTarget& target, std::uint64_t resumeFrom);

// The parts of a response head the download acts on. `head` runs up to and including the empty line.
struct ResponseHead {
    bool accepted = false; // an HTTP/1.1 2xx status line
    int status = 0;
    std::uint64_t contentLength = 0; // from the first "Content-Length: ", 0 when there is none
    std::optional<std::uint64_t> rangeStart; // first byte position of "Content-Range: bytes N-M/T"
};
ResponseHead ParseResponseHead(const Bytes& head);

} // namespace rankmoth::update
