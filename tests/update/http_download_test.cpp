#include "tests/update/update_test_support.h"
#include "tools/sim/update_archive_server.h"
#include "update/http_download.h"
#include "web/socket_client.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace rankmoth::update {
namespace {

using sim::ArchiveFault;
using sim::ArchiveServer;
using sim::ArchiveServerOptions;
using testing::Exists;
using testing::PatternBytes;
using testing::ReadFile;
using testing::TempFolder;
using testing::WriteFile;

struct Outcome {
    int result = -1;
    std::uint32_t total = 0;
    std::uint32_t downloaded = 0;
    std::vector<std::string> requests;
};

// One download of `server`'s archive into `dir`/m_update.zip, with a 1-second receive time-out.
Outcome Download(ArchiveServer& server, const TempFolder& dir, const std::string& path = "a/zujian/m_update.zip") {
    web::SocketClient socket;
    std::atomic<std::uint32_t> total{0};
    std::atomic<std::uint32_t> downloaded{0};
    DownloadOptions options;
    options.receiveTimeoutSeconds = 1;
    Outcome o;
    const Text address("http://127.0.0.1:" + std::to_string(server.port()) + "/" + path);
    o.result = HttpDownload(socket, address, dir / "m_update.zip", total, downloaded, options);
    o.total = total;
    o.downloaded = downloaded;
    o.requests = server.Requests();
    return o;
}

TEST(HttpDownloadTest, FreshDownloadIsByteIdenticalAndClosesTheConnection) {
    const std::string source = PatternBytes(3 * 1024 * 1024 + 17);
    ArchiveServer server({source});
    ASSERT_GT(server.Start(), 0);
    TempFolder dir;
    const Outcome o = Download(server, dir);
    EXPECT_EQ(o.result, kDownloadComplete);
    EXPECT_EQ(ReadFile(dir / "m_update.zip"), source);
    EXPECT_FALSE(Exists(dir / "m_update.zip.tmp"));
    EXPECT_EQ(o.total, source.size());
    EXPECT_EQ(o.downloaded, source.size());
    ASSERT_EQ(o.requests.size(), 1u);
    EXPECT_EQ(o.requests[0], "GET /a/zujian/m_update.zip HTTP/1.1\r\nAccept: */*\r\nAccept-Language: zh-cn\r\n"
                             "Host: 127.0.0.1:" + std::to_string(server.port()) +
                                 "\r\nConnection: Keep-Alive\r\n\r\n");
    // The server keeps the connection open; the download ends on the length and closes it.
    EXPECT_TRUE(testing::PollUntil([&] { return server.ConnectionsClosedByPeer() == 1; }));
}

TEST(HttpDownloadTest, ReplacesAnOlderArchiveUnderTheFinalName) {
    const std::string source = PatternBytes(5000);
    ArchiveServer server({source});
    ASSERT_GT(server.Start(), 0);
    TempFolder dir;
    WriteFile(dir / "m_update.zip", "stale archive of an earlier run");
    EXPECT_EQ(Download(server, dir).result, kDownloadComplete);
    EXPECT_EQ(ReadFile(dir / "m_update.zip"), source);
}

struct ResumeCase {
    const char* what;
    ArchiveFault fault;
    std::optional<std::uint64_t> rangeShift;
    std::string partial; // content of the .tmp left by an interrupted run
    int result;
    std::uint32_t total;
    bool tmpRemains;
};

TEST(HttpDownloadTest, ResumesAPartialFile) {
    const std::string source = PatternBytes(6000, 3);
    const ResumeCase cases[] = {
        {"206 continues the partial", ArchiveFault::kNone, std::nullopt, source.substr(0, 1000), 0, 6000, false},
        {"200 starts the file over", ArchiveFault::kIgnoreRange, std::nullopt, std::string(1000, 'x'), 0, 6000,
         false},
        {"206 at another offset", ArchiveFault::kNone, 10, source.substr(0, 1000), 5, 0, false},
        {"416 drops the partial", ArchiveFault::kRefuseRange, std::nullopt, source.substr(0, 1000), 6, 0, false},
        {"empty partial", ArchiveFault::kNone, std::nullopt, "", 0, 6000, false},
    };
    for (const auto& c : cases) {
        ArchiveServerOptions options{source};
        options.fault = c.fault;
        options.rangeStartShift = c.rangeShift;
        ArchiveServer server(options);
        ASSERT_GT(server.Start(), 0);
        TempFolder dir;
        WriteFile(dir / "m_update.zip.tmp", c.partial);
        const Outcome o = Download(server, dir);
        EXPECT_EQ(o.result, c.result) << c.what;
        EXPECT_EQ(o.total, c.total) << c.what;
        EXPECT_EQ(Exists(dir / "m_update.zip.tmp"), c.tmpRemains) << c.what;
        if (c.result == 0) {
            EXPECT_EQ(ReadFile(dir / "m_update.zip"), source) << c.what;
        } else {
            EXPECT_FALSE(Exists(dir / "m_update.zip")) << c.what;
        }
        ASSERT_EQ(o.requests.size(), 1u);
        const std::string port = std::to_string(server.port());
        EXPECT_EQ(o.requests[0], "GET /a/zujian/m_update.zip HTTP/1.1\r\nHost: 127.0.0.1:" + port +
                                     "\r\nAccept: */*\r\n"
                                     "User-Agent: Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)\r\n"
                                     "Range: bytes=" +
                                     std::to_string(c.partial.size()) +
                                     "-\r\nPragma: no-cache\r\nCache-Control: no-cache\r\nConnection: close\r\n\r\n")
            << c.what;
    }
}

struct FaultCase {
    const char* what;
    std::function<void(ArchiveServerOptions&)> configure;
    int result;
};

TEST(HttpDownloadTest, BrokenServersEndWithoutAnArchive) {
    const std::string source = PatternBytes(40000, 5);
    const FaultCase cases[] = {
        {"HTTP/1.0 status line", [](ArchiveServerOptions& o) { o.fault = ArchiveFault::kHttp10; }, kBadStatus},
        {"stall mid-body", [](ArchiveServerOptions& o) { o.fault = ArchiveFault::kStall; }, kSizeMismatch},
        {"close mid-body", [](ArchiveServerOptions& o) { o.fault = ArchiveFault::kCloseMidBody; }, kSizeMismatch},
        {"stall before any byte",
         [](ArchiveServerOptions& o) {
             o.fault = ArchiveFault::kStall;
             o.headPieceBytes = 100000;
             o.pieceDelay = std::chrono::seconds(30);
             o.omitLength = true;
         },
         kSizeMismatch},
        {"length larger than the body", [](ArchiveServerOptions& o) { o.announcedLength = 50000; }, kSizeMismatch},
        {"length smaller than the body", [](ArchiveServerOptions& o) { o.announcedLength = 100; }, kSizeMismatch},
        {"no length", [](ArchiveServerOptions& o) { o.omitLength = true; }, kSizeMismatch},
        {"length 0", [](ArchiveServerOptions& o) { o.announcedLength = 0; }, kSizeMismatch},
    };
    for (const auto& c : cases) {
        ArchiveServerOptions options{source};
        c.configure(options);
        ArchiveServer server(options);
        ASSERT_GT(server.Start(), 0);
        TempFolder dir;
        const Outcome o = Download(server, dir);
        EXPECT_EQ(o.result, c.result) << c.what;
        EXPECT_FALSE(Exists(dir / "m_update.zip")) << c.what;
        EXPECT_FALSE(Exists(dir / "m_update.zip.tmp")) << c.what;
        server.Stop();
    }
}

TEST(HttpDownloadTest, PartialFileHeldByAnotherCopyIsLeftAlone) {
    const std::string source = PatternBytes(6000, 4);
    ArchiveServer server({source});
    ASSERT_GT(server.Start(), 0);
    TempFolder dir;
    WriteFile(dir / "m_update.zip.tmp", source.substr(0, 1000));
    const int other = ::open((dir / "m_update.zip.tmp").c_str(), O_WRONLY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::flock(other, LOCK_EX), 0);
    EXPECT_EQ(Download(server, dir).result, kSizeMismatch);
    ::close(other);
    EXPECT_EQ(ReadFile(dir / "m_update.zip.tmp"), source.substr(0, 1000));
    EXPECT_FALSE(Exists(dir / "m_update.zip"));
}

TEST(HttpDownloadTest, ALinkPlantedAsThePartialFileIsNotFollowed) {
    const std::string source = PatternBytes(6000, 5);
    ArchiveServer server({source});
    ASSERT_GT(server.Start(), 0);
    TempFolder outside;
    TempFolder dir;
    // Even a target that would make a perfect partial file is not continued through the link.
    WriteFile(outside / "victim", source.substr(0, 1000));
    std::filesystem::create_symlink(outside / "victim", dir / "m_update.zip.tmp");
    EXPECT_EQ(Download(server, dir).result, kSizeMismatch);
    EXPECT_EQ(ReadFile(outside / "victim"), source.substr(0, 1000));
    EXPECT_FALSE(Exists(dir / "m_update.zip"));
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "m_update.zip"));
}

TEST(HttpDownloadTest, HeadSplitOverManyBlocksIsAssembled) {
    const std::string source = PatternBytes(30000, 9);
    ArchiveServerOptions options{source};
    options.headPieceBytes = 5;
    options.pieceDelay = std::chrono::milliseconds(3);
    ArchiveServer server(options);
    ASSERT_GT(server.Start(), 0);
    TempFolder dir;
    const Outcome o = Download(server, dir);
    EXPECT_EQ(o.result, kDownloadComplete);
    EXPECT_EQ(ReadFile(dir / "m_update.zip"), source);
}

TEST(HttpDownloadTest, ConnectionFailures) {
    TempFolder dir;
    web::SocketClient socket;
    std::atomic<std::uint32_t> total{0};
    std::atomic<std::uint32_t> downloaded{0};
    // A port nobody listens on: bind one, note it, close it.
    int freePort = 0;
    {
        ArchiveServer probe({"x"});
        freePort = probe.Start();
    }
    const Text refused("http://127.0.0.1:" + std::to_string(freePort) + "/m_update.zip");
    EXPECT_EQ(HttpDownload(socket, refused, dir / "m_update.zip", total, downloaded), kConnectFailed);
    EXPECT_EQ(HttpDownload(socket, Text("http://:65536/m_update.zip"), dir / "m_update.zip", total, downloaded),
              kConnectFailed);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

} // namespace
} // namespace rankmoth::update
