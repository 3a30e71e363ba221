#include "tests/update/update_test_support.h"
#include "update/archive_unpack.h"
#include "update/update_install.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace rankmoth::update {
namespace {

using testing::Exists;
using testing::MakeZip;
using testing::ReadFile;
using testing::TempFolder;
using testing::UpdateFixture;
using testing::WriteFile;
using testing::ZipEntry;

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 0777) : 0;
}

TEST(EntryNameTest, OnlyNamesThatStayBelowTheTarget) {
    const struct {
        std::string_view name;
        bool safe;
    } cases[] = {
        {"m_update.exe", true},     {"dir/sub/file.txt", true}, {"dir/", true},          {"a..b", true},
        {"..foo/x", true},          {"./x", true},              {"../evil", false},      {"a/../../evil", false},
        {"a/..", false},            {"..", false},              {"/etc/passwd", false},  {"\\evil", false},
        {"a\\..\\evil", false},     {"C:/evil", false},         {"c:evil", false},       {"", false},
        {std::string_view("ok\0../x", 7), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsSafeEntryName(c.name), c.safe) << c.name;
}

TEST(UnpackTest, WritesFilesAndDirectoriesKeepingUnixPermissions) {
    TempFolder dir;
    const std::string zip = dir / "m_update.zip";
    const std::string big = testing::PatternBytes(300000);
    ASSERT_TRUE(MakeZip(zip, {{"m_update.exe", "#!/bin/sh\nexit 0\n", 0100755},
                              {"data/", "", 040755},
                              {"data/deep/blob.bin", big, 0100600},
                              {"readme.txt", "hello", 0100644}}));
    ASSERT_EQ(UnpackArchive(zip, dir.path()), UnpackResult::kUnpacked);
    EXPECT_EQ(ReadFile(dir / "m_update.exe"), "#!/bin/sh\nexit 0\n");
    EXPECT_EQ(ModeOf(dir / "m_update.exe"), 0755u);
    EXPECT_EQ(ReadFile(dir / "data/deep/blob.bin"), big);
    EXPECT_EQ(ModeOf(dir / "data/deep/blob.bin"), 0600u);
    EXPECT_EQ(ReadFile(dir / "readme.txt"), "hello");
}

TEST(UnpackTest, OverwritesReadOnlyFiles) {
    TempFolder dir;
    WriteFile(dir / "m_update.exe", "old");
    ::chmod((dir / "m_update.exe").c_str(), 0444);
    ASSERT_TRUE(MakeZip(dir / "a.zip", {{"m_update.exe", "new", 0100755}}));
    ASSERT_EQ(UnpackArchive(dir / "a.zip", dir.path()), UnpackResult::kUnpacked);
    EXPECT_EQ(ReadFile(dir / "m_update.exe"), "new");
    EXPECT_EQ(ModeOf(dir / "m_update.exe"), 0755u);
}

TEST(UnpackTest, UnsafeEntryRefusesTheWholeArchive) {
    const std::vector<std::vector<ZipEntry>> archives = {
        {{"m_update.exe", "x", 0100755}, {"../evil", "pwned"}},
        {{"m_update.exe", "x", 0100755}, {"sub/../../evil", "pwned"}},
        {{"m_update.exe", "x", 0100755}, {"/tmp/rankmoth-evil-absolute", "pwned"}},
        {{"m_update.exe", "x", 0100755}, {"C:\\evil", "pwned"}},
        {{"m_update.exe", "x", 0100755}, {"link", "/etc", 0120777}},
    };
    for (const auto& entries : archives) {
        TempFolder outer;
        const std::string target = outer / "target";
        std::filesystem::create_directory(target);
        ASSERT_TRUE(MakeZip(outer / "a.zip", entries));
        EXPECT_EQ(UnpackArchive(outer / "a.zip", target), UnpackResult::kUnsafeEntry) << entries[1].name;
        // Not even the safe entry before it was written, and nothing beside the target.
        EXPECT_TRUE(std::filesystem::is_empty(target)) << entries[1].name;
        EXPECT_FALSE(Exists(outer / "evil"));
    }
    EXPECT_FALSE(Exists("/tmp/rankmoth-evil-absolute"));
}

TEST(UnpackTest, DoesNotFollowALinkAlreadyInTheTarget) {
    TempFolder outside;
    TempFolder dir;
    std::filesystem::create_directory_symlink(outside.path(), dir / "sub");
    std::filesystem::create_symlink(outside / "victim", dir / "file.txt");
    ASSERT_TRUE(MakeZip(dir / "a.zip", {{"file.txt", "replaced"}, {"sub/inner.txt", "escaped"}}));
    EXPECT_EQ(UnpackArchive(dir / "a.zip", dir.path()), UnpackResult::kEntryFailed);
    EXPECT_TRUE(std::filesystem::is_empty(outside.path()));
    EXPECT_EQ(ReadFile(dir / "file.txt"), "replaced");
}

TEST(UnpackTest, ReplacesAHardLinkInsteadOfWritingThroughIt) {
    TempFolder outside;
    TempFolder dir;
    WriteFile(outside / "victim", "kept");
    std::filesystem::create_hard_link(outside / "victim", dir / "m_update.exe");
    ASSERT_TRUE(MakeZip(dir / "a.zip", {{"m_update.exe", "new", 0100755}}));
    std::vector<std::string> written;
    ASSERT_EQ(UnpackArchive(dir / "a.zip", dir.path(), &written), UnpackResult::kUnpacked);
    EXPECT_EQ(ReadFile(outside / "victim"), "kept");
    EXPECT_EQ(ReadFile(dir / "m_update.exe"), "new");
    EXPECT_EQ(written, std::vector<std::string>{"m_update.exe"});
}

TEST(UnpackTest, BrokenArchivesAreReportedNotUnpacked) {
    TempFolder dir;
    WriteFile(dir / "plain.zip", "this is not an archive at all");
    EXPECT_EQ(UnpackArchive(dir / "plain.zip", dir.path()), UnpackResult::kNotAnArchive);
    EXPECT_EQ(UnpackArchive(dir / "missing.zip", dir.path()), UnpackResult::kNotAnArchive);

    ASSERT_TRUE(MakeZip(dir / "whole.zip", {{"m_update.exe", testing::PatternBytes(50000), 0100755}}));
    const std::string whole = ReadFile(dir / "whole.zip");
    WriteFile(dir / "cut.zip", whole.substr(0, whole.size() / 2));
    EXPECT_EQ(UnpackArchive(dir / "cut.zip", dir.path()), UnpackResult::kNotAnArchive);

    // Damaged data behind an intact directory: the entry fails its CRC and leaves no half file.
    std::string damaged = whole;
    for (std::size_t i = 100; i < 200; ++i)
        damaged[i] = static_cast<char>(damaged[i] ^ 0x5A);
    WriteFile(dir / "damaged.zip", damaged);
    EXPECT_EQ(UnpackArchive(dir / "damaged.zip", dir.path()), UnpackResult::kEntryFailed);
    EXPECT_FALSE(Exists(dir / "m_update.exe"));
}

std::uint32_t Le32(const std::string& b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
unsigned Le16(const std::string& b, std::size_t at) {
    return static_cast<unsigned char>(b[at]) | static_cast<unsigned>(static_cast<unsigned char>(b[at + 1])) << 8;
}

// Rewrites the unpacked size that entry `index` states, in its central directory record and its local
// header alike, so the archive stays consistent and only the size lies.
void StateSize(const std::string& zip, std::size_t index, std::uint32_t size) {
    std::string b = ReadFile(zip);
    const std::size_t eocd = b.rfind(std::string("PK\x05\x06", 4));
    ASSERT_NE(eocd, std::string::npos);
    std::size_t at = Le32(b, eocd + 16);
    for (std::size_t k = 0; k < index; ++k)
        at += 46 + Le16(b, at + 28) + Le16(b, at + 30) + Le16(b, at + 32);
    ASSERT_EQ(Le32(b, at), 0x02014b50u);
    const std::size_t local = Le32(b, at + 42);
    for (int i = 0; i < 4; ++i) {
        b[at + 24 + i] = static_cast<char>(size >> (8 * i));
        b[local + 22 + i] = static_cast<char>(size >> (8 * i));
    }
    WriteFile(zip, b);
}

TEST(UnpackTest, ArchivesPastTheLimitsAreRefusedBeforeAnythingIsWritten) {
    const std::uint32_t mib = 1u << 20;
    const struct {
        const char* what;
        std::function<void(const std::string& zip)> make;
        bool unpacks;
    } cases[] = {
        {"two entries stating 300 MiB each",
         [&](const std::string& zip) {
             MakeZip(zip, {{"m_update.exe", "x", 0100755}, {"a.bin", "a"}, {"b.bin", "b"}});
             StateSize(zip, 1, 300 * mib);
             StateSize(zip, 2, 300 * mib);
         },
         false},
        {"entries stating 512 MiB in all",
         [&](const std::string& zip) {
             MakeZip(zip, {{"a.bin", "a"}, {"b.bin", "b"}});
             StateSize(zip, 0, 256 * mib);
             StateSize(zip, 1, 256 * mib);
         },
         true},
        {"10,001 entries",
         [](const std::string& zip) {
             MakeZip(zip, std::vector<ZipEntry>(10001, {"d/", "", 040755}));
         },
         false},
        {"10,000 entries",
         [](const std::string& zip) {
             MakeZip(zip, std::vector<ZipEntry>(10000, {"d/", "", 040755}));
         },
         true},
        // Stating less than it holds: the entry is cut at its stated size and fails its check.
        {"an entry holding more than it states",
         [](const std::string& zip) {
             MakeZip(zip, {{"m_update.exe", testing::PatternBytes(200000), 0100755}});
             StateSize(zip, 0, 1000);
         },
         false},
    };
    for (const auto& c : cases) {
        TempFolder outer;
        const std::string target = outer / "target";
        std::filesystem::create_directory(target);
        c.make(outer / "a.zip");
        const UnpackResult result = UnpackArchive(outer / "a.zip", target);
        if (c.unpacks) {
            EXPECT_EQ(result, UnpackResult::kUnpacked) << c.what;
            continue;
        }
        EXPECT_NE(result, UnpackResult::kUnpacked) << c.what;
        EXPECT_TRUE(std::filesystem::is_empty(target)) << c.what;
    }
}

// The completion step of InstallTick over real archives.
struct InstallCase {
    const char* what;
    std::function<void(const std::string& zip)> makeArchive;
    bool updaterStarted;
    bool updaterPresent;
    bool staleUpdater = false; // an m_update.exe of an earlier update is already there
};

TEST(InstallTickTest, CompletionUnpacksDeletesStartsAndEnds) {
    const auto zipOf = [](std::vector<ZipEntry> entries) {
        return [entries](const std::string& zip) { MakeZip(zip, entries); };
    };
    const InstallCase cases[] = {
        {"good archive",
         [](const std::string& zip) {
             MakeZip(zip, {{"m_update.exe", "#!/bin/sh\n", 0100755}});
         },
         true, true},
        {"archive without updater", zipOf({{"other.txt", "x"}}), false, false},
        {"archive without updater beside an old one", zipOf({{"other.txt", "x"}}), false, true, true},
        {"empty archive beside an old updater", zipOf({}), false, true, true},
        {"updater in a sub-directory", zipOf({{"sub/m_update.exe", "x", 0100755}}), false, false},
        {"not a zip", [](const std::string& zip) { WriteFile(zip, "garbage"); }, false, false},
        {"archive stating more than 512 MiB beside an old updater",
         [](const std::string& zip) {
             MakeZip(zip, {{"m_update.exe", "#!/bin/sh\n", 0100755}});
             StateSize(zip, 0, 513u << 20);
         },
         false, true, true},
        {"zip with ../evil",
         [](const std::string& zip) {
             MakeZip(zip, {{"m_update.exe", "x", 0100755}, {"../evil", "x"}});
         },
         false, false},
    };
    for (const auto& c : cases) {
        UpdateFixture f;
        auto env = f.Env();
        if (c.staleUpdater)
            WriteFile(f.dir / "m_update.exe", "#!/bin/sh\n");
        c.makeArchive(f.dir / "m_update.zip");
        f.state->counters.totalBytes = 100;
        f.state->counters.downloadedBytes = 100;
        f.state->downloadResult = 0;
        f.state->downloadPageAddress = Text("http://dl.example/page.html");
        InstallTick(env, *f.state);

        EXPECT_FALSE(Exists(f.dir / "m_update.zip")) << c.what;
        EXPECT_EQ(Exists(f.dir / "m_update.exe"), c.updaterPresent) << c.what;
        EXPECT_FALSE(Exists(f.dir.path() + "/../evil")) << c.what;
        const auto started = f.controls.StartedProcesses();
        EXPECT_EQ(started.size(), c.updaterStarted ? 1u : 0u) << c.what;
        if (!started.empty()) {
            EXPECT_EQ(started[0], f.dir / "m_update.exe");
        }
        EXPECT_EQ(f.controls.OpenedAddresses(), std::vector<std::string>{"http://dl.example/page.html"}) << c.what;
        const auto boxes = f.controls.MessageBoxes();
        ASSERT_EQ(boxes.size(), 1u) << c.what;
        EXPECT_EQ(boxes[0].text.ToUtf8(), "自动更新失败！刚刚打开的是最新版的下载网址\r\n请手动下载，之后卸载旧版，安装新版");
        EXPECT_EQ(boxes[0].caption.ToUtf8(), "提示");
        EXPECT_EQ(boxes[0].style, base::kIconExclamation);
        EXPECT_EQ(f.controls.ExitCode(), 0) << c.what;
    }
}

} // namespace
} // namespace rankmoth::update
