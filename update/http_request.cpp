#include "update/http_request.h"

#include <cctype>
#include <cstdint>

namespace rankmoth::update {

namespace {

constexpr std::string_view kAcceptedStatus = "HTTP/1.1 20";

// The unsigned decimal number at the start of `text` (after blanks), if any.
std::optional<std::uint64_t> LeadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i == text.size() || text[i] < '0' || text[i] > '9')
        return std::nullopt;
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value > (UINT64_MAX - 9) / 10)
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return value;
}

// Position of `name` at the start of a header line (ASCII case ignored), or npos.
std::size_t FindHeader(std::string_view head, std::string_view name) {
    for (std::size_t line = head.find("\r\n"); line != std::string_view::npos; line = head.find("\r\n", line + 2)) {
        const std::size_t at = line + 2;
        if (head.size() - at < name.size())
            return std::string_view::npos;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i)
            same = std::tolower(static_cast<unsigned char>(head[at + i])) ==
                   std::tolower(static_cast<unsigned char>(name[i]));
        if (same)
            return at;
    }
    return std::string_view::npos;
}

} // namespace

DownloadTarget DownloadTargetOf(const Text& address) {
    const std::vector<Text> pieces = SplitAll(address, Text("/"));
    const Text hostPart = pieces.size() >= 3 ? pieces[2] : Text();
    DownloadTarget target;
    const int colon = Find(hostPart, Text(":"));
    if (colon > 0) {
        target.connectHost = Left(hostPart, colon - 1);
        // Read as a 16-bit number, the way the port field of a socket address holds it.
        target.port = static_cast<std::uint16_t>(IntegerOf(MidToEnd(hostPart, colon + 1)));
        target.hostHeader = target.connectHost + Text(":") + TextOfInteger(target.port);
    } else {
        target.connectHost = hostPart;
        target.port = 80;
        target.hostHeader = hostPart;
    }
    target.path = ReplaceFirst(address, Text("http://") + target.hostHeader + Text("/"), Text());
    return target;
}

Bytes FreshRequest(const DownloadTarget& target) {
    return "GET /" + target.path.bytes() + " HTTP/1.1\r\n" +
           "Accept: */*\r\n"
           "Accept-Language: zh-cn\r\n"
           "Host: " +
           target.hostHeader.bytes() + "\r\n" +
           "Connection: Keep-Alive\r\n"
           "\r\n";
}

Bytes ResumeRequest(const DownloadTarget& target, std::uint64_t resumeFrom) {
    return "GET /" + target.path.bytes() + " HTTP/1.1\r\n" + "Host: " + target.hostHeader.bytes() + "\r\n" +
           "Accept: */*\r\n"
           "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
           "Range: bytes=" +
           std::to_string(resumeFrom) + "-\r\n" +
           "Pragma: no-cache\r\n"
           "Cache-Control: no-cache\r\n"
           "Connection: close\r\n"
           "\r\n";
}

ResponseHead ParseResponseHead(const Bytes& head) {
    ResponseHead result;
    const std::string_view view(head);
    result.accepted = view.substr(0, kAcceptedStatus.size()) == kAcceptedStatus;
    if (view.size() >= 12)
        result.status = static_cast<int>(LeadingNumber(view.substr(9, 3)).value_or(0));
    // "Content-Length: " is looked for exactly as servers of the archive write it.
    if (const auto at = view.find("Content-Length: "); at != std::string_view::npos)
        result.contentLength = LeadingNumber(view.substr(at + 16)).value_or(0);
    if (const auto at = FindHeader(view, "Content-Range:"); at != std::string_view::npos) {
        std::string_view value = view.substr(at + 14);
        while (!value.empty() && value.front() == ' ')
            value.remove_prefix(1);
        if (value.substr(0, 6) == "bytes ")
            result.rangeStart = LeadingNumber(value.substr(6));
    }
    return result;
}

} // namespace rankmoth::update
