#include "web/notice_payload.h"
#include "web/notice_text.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

namespace rankmoth::web {
namespace {

std::vector<Text> Texts(std::initializer_list<const char*> items) {
    std::vector<Text> out;
    for (const char* item : items)
        out.emplace_back(item);
    return out;
}

TEST(NoticePayloadTest, SplitsFieldsAtEverySeparator) {
    struct Case {
        const char* payload;
        std::vector<Text> fields;
    } const cases[] = {
        {"1.2|0|http://u/m_update.zip", Texts({"1.2", "0", "http://u/m_update.zip"})},
        {"a||c", Texts({"a", "", "c"})},
        {"a|b|", Texts({"a", "b"})}, // no empty last field
        {"a|b||", Texts({"a", "b", ""})},
        {"|", Texts({""})},
        {"|x", Texts({"", "x"})},
    };
    for (const auto& c : cases) {
        std::vector<Text> fields = Texts({"old"});
        EXPECT_EQ(SplitNoticePayload(Text(c.payload), fields), Text(c.payload));
        EXPECT_EQ(fields, c.fields) << c.payload;
    }
}

TEST(NoticePayloadTest, PayloadWithoutSeparatorKeepsThePreviousFields) {
    for (const char* payload : {"abc", ""}) {
        std::vector<Text> fields = Texts({"1", "2"});
        EXPECT_EQ(SplitNoticePayload(Text(payload), fields), Text{});
        EXPECT_EQ(fields, Texts({"1", "2"}));
    }
    // A "|" that is only the trail byte of a double-byte character is not a separator (81 7C).
    std::vector<Text> fields = Texts({"keep"});
    EXPECT_EQ(SplitNoticePayload(Text("a\x81|b"), fields), Text{});
    EXPECT_EQ(fields, Texts({"keep"}));
}

TEST(NoticePayloadTest, BetweenIsCaseSensitiveAndDoesNotTrim) {
    struct Case {
        const char* text;
        const char* left;
        const char* right;
        const char* expected;
    } const cases[] = {
        {"x[ a b ]y", "[", "]", " a b "}, {"x[a]y", "(", "]", ""}, {"x[a", "[", "]", ""},
        {"]x[a", "[", "]", ""}, // right only before left does not count
        {"<B>a</b>", "<b>", "</b>", ""},  {"[]", "[", "]", ""},    {"[", "[", "]", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NoticeBetween(Text(c.text), Text(c.left), Text(c.right)), Text(c.expected)) << c.text;
    NoticeText notice;
    EXPECT_EQ(notice.Between(Text("k=v;"), Text("k="), Text(";")), Text("v"));
    EXPECT_TRUE(notice.Contains(Text("a|b"), Text("|")));
    EXPECT_FALSE(notice.Contains(Text("ABC"), Text("b")));
}

TEST(NoticePayloadTest, BodyIsConvertedAndCutBetweenTheMarkers) {
    const std::string utf8Page = "<p>开始喽1.3|0|http://h/u.zip|2|结束喽</p>";
    EXPECT_EQ(NoticePayloadOf(utf8Page, 1), Text("1.3|0|http://h/u.zip|2|"));
    EXPECT_EQ(NoticePayloadOf("开始喽中文|x结束喽", 1), "中文|x"_gbk);
    // Invalid UTF-8 anywhere gives nothing, even when the markers are intact.
    EXPECT_EQ(NoticePayloadOf("开始喽a|b结束喽\xFF", 1), Text{});
    // Taken as GBK as it stands.
    EXPECT_EQ(NoticePayloadOf(("开始喽"_gbk + Text("a|b") + "结束喽"_gbk).bytes(), 0), Text("a|b"));
    EXPECT_EQ(NoticePayloadOf(utf8Page, 0), Text{});
    EXPECT_EQ(NoticePayloadOf("开始喽a|b", 1), Text{});
    // The body is text up to its first zero byte.
    EXPECT_EQ(NoticePayloadOf(std::string("开始喽a\0|b结束喽", 18), 1), Text{});
}

// A one-shot HTTP server on 127.0.0.1 that records the request and answers with fixed bytes, then closes:
// enough to see exactly what goes on the wire and to break a body off part way.
class OneShotServer {
public:
    explicit OneShotServer(std::string response) : response_(std::move(response)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return;
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~OneShotServer() {
        if (thread_.joinable())
            thread_.join();
        ::close(listener_);
    }
    int port() const { return port_; }
    // The request as received; call after the client is done.
    std::string Request() {
        if (thread_.joinable())
            thread_.join();
        return request_;
    }

private:
    void Serve() {
        pollfd pfd{listener_, POLLIN, 0};
        if (::poll(&pfd, 1, 10000) != 1)
            return;
        const int fd = ::accept(listener_, nullptr, nullptr);
        if (fd < 0)
            return;
        char buffer[4096];
        while (request_.find("\r\n\r\n") == std::string::npos) {
            pollfd cfd{fd, POLLIN, 0};
            if (::poll(&cfd, 1, 10000) != 1)
                break;
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            request_.append(buffer, static_cast<std::size_t>(n));
        }
        ::send(fd, response_.data(), response_.size(), MSG_NOSIGNAL);
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
    }

    std::string response_;
    std::string request_;
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

std::vector<std::string> HeaderLines(const std::string& request) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (true) {
        const std::size_t end = request.find("\r\n", pos);
        if (end == std::string::npos || end == pos)
            break;
        lines.push_back(request.substr(pos, end - pos));
        pos = end + 2;
    }
    return lines;
}

TEST(NoticeTextFetchTest, SendsAPlainHttp10GetWithOnlyAcceptAndHost) {
    const std::string body = "<html>开始喽1.4|1|http://h/m_update.zip|结束喽</html>";
    OneShotServer server("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                         std::to_string(body.size()) + "\r\n\r\n" + body);
    ASSERT_NE(server.port(), 0);
    const std::string host = "127.0.0.1:" + std::to_string(server.port());
    NoticeText notice;
    std::vector<Text> fields;
    const Text payload = notice.SplitNotice(Text("http://" + host + "/w2/blogDetail.do?hostID=7&blogId=9"), fields, 1);
    EXPECT_EQ(payload, Text("1.4|1|http://h/m_update.zip|"));
    EXPECT_EQ(fields, Texts({"1.4", "1", "http://h/m_update.zip"}));

    auto lines = HeaderLines(server.Request());
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "GET /w2/blogDetail.do?hostID=7&blogId=9 HTTP/1.0");
    lines.erase(lines.begin());
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{"Accept: */*", "Host: " + host}));
}

TEST(NoticeTextFetchTest, KeepsTheBytesReadBeforeTheBodyBreaksOff) {
    const std::string part = "开始喽a|b结束喽 and then the line drops";
    OneShotServer server("HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n" + part);
    ASSERT_NE(server.port(), 0);
    NoticeText notice;
    EXPECT_EQ(notice.NoticePayload(Text("http://127.0.0.1:" + std::to_string(server.port()) + "/p"), 1), Text("a|b"));
}

TEST(NoticeTextFetchTest, UnreachablePageGivesEmptyTextAndKeepsTheFields) {
    // A port that was just free: nothing listens there.
    int port = 0;
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len), 0);
        port = ntohs(addr.sin_port);
        ::close(fd);
    }
    NoticeText notice;
    std::vector<Text> fields = Texts({"1.1", "0"});
    EXPECT_EQ(notice.SplitNotice(Text("http://127.0.0.1:" + std::to_string(port) + "/x"), fields, 1), Text{});
    EXPECT_EQ(fields, Texts({"1.1", "0"}));
    EXPECT_EQ(notice.NoticePayload(Text("file:///etc/passwd"), 0), Text{});
}

} // namespace
} // namespace rankmoth::web
