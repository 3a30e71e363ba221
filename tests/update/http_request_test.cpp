#include "update/http_request.h"

#include <gtest/gtest.h>

namespace rankmoth::update {
namespace {

TEST(DownloadTargetTest, HostPortAndPath) {
    const struct {
        const char* address;
        const char* connectHost;
        int port;
        const char* hostHeader;
        const char* path;
    } cases[] = {
        {"http://dl.example/zujian/m_update.zip", "dl.example", 80, "dl.example", "zujian/m_update.zip"},
        {"http://host:8080/a/zujian/m_update.zip", "host", 8080, "host:8080", "a/zujian/m_update.zip"},
        {"http://127.0.0.1:65535/x.zip", "127.0.0.1", 65535, "127.0.0.1:65535", "x.zip"},
        // The port is a 16-bit field: 65536 wraps to 0, which the connect then refuses.
        {"http://h:65536/x.zip", "h", 0, "h:0", "http://h:65536/x.zip"},
        // A port written with a leading zero no longer matches the host header: the whole address is the path.
        {"http://h:080/x.zip", "h", 80, "h:80", "http://h:080/x.zip"},
        {"zujian/m_update.zip", "", 80, "", "zujian/m_update.zip"},
        {"", "", 80, "", ""},
    };
    for (const auto& c : cases) {
        const DownloadTarget t = DownloadTargetOf(Text(c.address));
        EXPECT_EQ(t.connectHost.bytes(), c.connectHost) << c.address;
        EXPECT_EQ(t.port, c.port) << c.address;
        EXPECT_EQ(t.hostHeader.bytes(), c.hostHeader) << c.address;
        EXPECT_EQ(t.path.bytes(), c.path) << c.address;
    }
}

TEST(DownloadRequestTest, FreshAndResumeRequestsLineByLine) {
    const DownloadTarget t = DownloadTargetOf(Text("http://host:8080/a/zujian/m_update.zip"));
    EXPECT_EQ(FreshRequest(t), "GET /a/zujian/m_update.zip HTTP/1.1\r\n"
                               "Accept: */*\r\n"
                               "Accept-Language: zh-cn\r\n"
                               "Host: host:8080\r\n"
                               "Connection: Keep-Alive\r\n"
                               "\r\n");
    EXPECT_EQ(ResumeRequest(t, 1000), "GET /a/zujian/m_update.zip HTTP/1.1\r\n"
                                      "Host: host:8080\r\n"
                                      "Accept: */*\r\n"
                                      "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
                                      "Range: bytes=1000-\r\n"
                                      "Pragma: no-cache\r\n"
                                      "Cache-Control: no-cache\r\n"
                                      "Connection: close\r\n"
                                      "\r\n");
}

TEST(ResponseHeadTest, StatusLengthAndRange) {
    const struct {
        const char* head;
        bool accepted;
        int status;
        std::uint64_t length;
        std::optional<std::uint64_t> rangeStart;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n", true, 200, 5000, std::nullopt},
        {"HTTP/1.1 206 Partial Content\r\nContent-Range: bytes 1000-5999/6000\r\nContent-Length: 5000\r\n\r\n", true,
         206, 5000, 1000},
        {"HTTP/1.1 206 X\r\ncontent-range:bytes 7-9/10\r\nContent-Length: 3\r\n\r\n", true, 206, 3, 7},
        {"HTTP/1.1 206 X\r\nContent-Range: bytes */10\r\n\r\n", true, 206, 0, std::nullopt},
        {"HTTP/1.0 200 OK\r\nContent-Length: 5\r\n\r\n", false, 200, 5, std::nullopt},
        {"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\n", false, 404, 9, std::nullopt},
        {"HTTP/1.1 416 Range Not Satisfiable\r\n\r\n", false, 416, 0, std::nullopt},
        // The length line is found as servers of the archive write it; another spelling is no length.
        {"HTTP/1.1 200 OK\r\ncontent-length: 5\r\n\r\n", true, 200, 0, std::nullopt},
        {"HTTP/1.1 200 OK\r\nContent-Length: abc\r\n\r\n", true, 200, 0, std::nullopt},
        {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999999\r\n\r\n", true, 200, 0, std::nullopt},
        {"garbage", false, 0, 0, std::nullopt},
        {"", false, 0, 0, std::nullopt},
    };
    for (const auto& c : cases) {
        const ResponseHead h = ParseResponseHead(c.head);
        EXPECT_EQ(h.accepted, c.accepted) << c.head;
        EXPECT_EQ(h.status, c.status) << c.head;
        EXPECT_EQ(h.contentLength, c.length) << c.head;
        EXPECT_EQ(h.rangeStart, c.rangeStart) << c.head;
    }
}

} // namespace
} // namespace rankmoth::update
