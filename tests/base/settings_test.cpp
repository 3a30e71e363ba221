#include "base/ini_file.h"
#include "base/settings.h"

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace rankmoth::base {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Spit(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary);
    out << data;
}

TEST(IniLookupTest, FindsValuesTheWayThePlatformReadsThem) {
    const std::string file = "top=outside\r\n"
                             "; a comment\r\n"
                             "[CanShu]\r\n"
                             "  YouDianId =  12345  \r\n"
                             "quoted=\"a b\"\r\n"
                             "half=\"a b\r\n"
                             "eq=a=b\r\n"
                             "bare\r\n"
                             "dup=first\r\n"
                             "dup=second\r\n"
                             "[ peizhi ]\n"
                             "caishu=1|2|3\n";
    struct Case {
        const char* section;
        const char* key;
        const char* expected; // null: not found
    } const cases[] = {
        {"canshu", "youdianid", "12345"}, {"CANSHU", "YOUDIANID", "12345"},
        {"canshu", "quoted", "a b"},      {"canshu", "half", "\"a b"},
        {"canshu", "eq", "a=b"},          {"canshu", "bare", ""},
        {"canshu", "dup", "first"},       {"peizhi", "caishu", "1|2|3"},
        {"canshu", "top", nullptr}, // keys before the first section belong to none
        {"peizhi", "youdianid", nullptr}, {"missing", "youdianid", nullptr},
    };
    for (const auto& c : cases) {
        const auto value = IniLookup(file, c.section, c.key);
        if (c.expected) {
            ASSERT_TRUE(value.has_value()) << c.section << "/" << c.key;
            EXPECT_EQ(*value, c.expected) << c.section << "/" << c.key;
        } else {
            EXPECT_FALSE(value.has_value()) << c.section << "/" << c.key;
        }
    }
}

TEST(IniLookupTest, AByteOrderMarkHidesNoSectionAndLinesAreCountedFromOne) {
    const struct {
        const char* file;
        const char* section;
        const char* key;
        const char* value; // null: not found
        int line;
    } cases[] = {
        {"\xEF\xBB\xBF[hosts]\r\nmarket=127.0.0.1:8080\r\n", "hosts", "market", "127.0.0.1:8080", 2},
        {"\xEF\xBB\xBF"
         "market=x\n[hosts]\n",
         "hosts", "market", nullptr, 0},
        {"; c\n\n[a]\nx=1\n[hosts]\n  market = h:1\n", "hosts", "market", "h:1", 6},
        // Only at the very start is it a mark; elsewhere it is part of a name.
        {"[a]\n\xEF\xBB\xBF[hosts]\nmarket=x\n", "hosts", "market", nullptr, 0},
    };
    for (const auto& c : cases) {
        const auto entry = IniFind(c.file, c.section, c.key);
        ASSERT_EQ(entry.has_value(), c.value != nullptr) << c.file;
        if (entry) {
            EXPECT_EQ(entry->value, c.value) << c.file;
            EXPECT_EQ(entry->line, c.line) << c.file;
        }
    }
}

TEST(IniWithValueTest, ChangesOnlyTheLineOfTheKeyOrAddsOne) {
    struct Case {
        const char* name;
        const char* before;
        const char* section;
        const char* key;
        const char* value;
        const char* after;
    } const cases[] = {
        {"new file", "", "canshu", "youdianid", "1", "[canshu]\r\nyoudianid=1\r\n"},
        {"replace in place, CR LF kept", "; c\r\n[canshu]\r\n  YouDianID = old \r\nx=y\r\n", "canshu", "youdianid",
         "new", "; c\r\n[canshu]\r\n  YouDianID=new\r\nx=y\r\n"},
        {"other letter case of the section", "[CanShu]\nx=1\n", "canshu", "youdianid", "",
         "[CanShu]\nx=1\nyoudianid=\n"},
        {"appended before the blank lines that end a section", "[a]\nx=1\n\n[b]\ny=2\n", "a", "k", "v",
         "[a]\nx=1\nk=v\n\n[b]\ny=2\n"},
        {"new section at the end", "[a]\r\nx=1", "peizhi", "caishu", "p|q", "[a]\r\nx=1\r\n[peizhi]\r\ncaishu=p|q\r\n"},
        {"section ending without a line end", "[a]\nx=1", "a", "k", "v", "[a]\nx=1\nk=v\n"},
        {"section ending in a lone CR", "[a]\r\nx=1\r", "a", "k", "v", "[a]\r\nx=1\r\r\nk=v\r\n"},
        {"empty section", "[a]\n[b]\n", "a", "k", "v", "[a]\nk=v\n[b]\n"},
        {"unreadable lines stay", "garbage\n[broken\n[a]\n", "a", "k", "v", "garbage\n[broken\n[a]\nk=v\n"},
        {"byte-order mark kept, its section found", "\xEF\xBB\xBF[a]\nk=old\n", "a", "k", "new",
         "\xEF\xBB\xBF[a]\nk=new\n"},
        {"byte-order mark alone", "\xEF\xBB\xBF", "a", "k", "v", "\xEF\xBB\xBF[a]\r\nk=v\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IniWithValue(c.before, c.section, c.key, c.value), c.after) << c.name;
}

TEST(SettingsFileTest, MissingFileReadsEmptyAndTheFirstWriteCreatesIt) {
    TempFolder dir;
    const std::string file = dir.file("config.ini");
    EXPECT_EQ(ReadSetting(file, Text("canshu"), Text("youdianid")), Text{});
    ASSERT_TRUE(WriteSetting(file, Text("canshu"), Text("youdianid"), Text("12345")));
    EXPECT_EQ(ReadSetting(file, Text("canshu"), Text("youdianid")), Text("12345"));
    // An empty value keeps the key in the file.
    ASSERT_TRUE(WriteSetting(file, Text("canshu"), Text("youdianid"), Text{}));
    EXPECT_EQ(Slurp(file), "[canshu]\r\nyoudianid=\r\n");
    // Nothing is left behind from the replacement.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(SettingsFileTest, WriteKeepsEveryOtherSectionAndKey) {
    TempFolder dir;
    const std::string file = dir.file("config.ini");
    Spit(file, "; hand-written\n[PeiZhi]\ncaishu=a|b\n\n[canshu]\nyoudianid=1\nother=x\n");
    ASSERT_TRUE(WriteSetting(file, Text("canshu"), Text("youdianid"), Text("2")));
    EXPECT_EQ(Slurp(file), "; hand-written\n[PeiZhi]\ncaishu=a|b\n\n[canshu]\nyoudianid=2\nother=x\n");
    EXPECT_EQ(ReadSetting(file, Text("peizhi"), Text("CAISHU")), Text("a|b"));
}

TEST(SettingsFileTest, WritesFromTwoThreadsLoseNothing) {
    // The start-up worker caches the notice while the window thread stores the shop ID. Every write adds a
    // key of its own, so a write that overtook another would leave a key missing for good.
    TempFolder dir;
    const std::string file = dir.file("config.ini");
    constexpr int kRounds = 100;
    std::thread worker([&] {
        for (int i = 0; i < kRounds; ++i)
            WriteSetting(file, Text("peizhi"), Text("w" + std::to_string(i)), Text("1"));
    });
    for (int i = 0; i < kRounds; ++i)
        WriteSetting(file, Text("canshu"), Text("m" + std::to_string(i)), Text("1"));
    worker.join();
    int missing = 0;
    for (int i = 0; i < kRounds; ++i) {
        missing += ReadSetting(file, Text("peizhi"), Text("w" + std::to_string(i))).empty();
        missing += ReadSetting(file, Text("canshu"), Text("m" + std::to_string(i))).empty();
    }
    EXPECT_EQ(missing, 0);
}

TEST(SettingsFileTest, LongValuesAreReadBackCut) {
    TempFolder dir;
    const std::string file = dir.file("config.ini");
    const std::string longValue(20000, 'v');
    ASSERT_TRUE(WriteSetting(file, Text("peizhi"), Text("caishu"), Text(longValue)));
    EXPECT_EQ(ReadSetting(file, Text("peizhi"), Text("caishu")).size(), 10239u);
    ASSERT_TRUE(WriteSetting(file, Text("peizhi"), Text("caishu"), Text(longValue.substr(0, 10239))));
    EXPECT_EQ(ReadSetting(file, Text("peizhi"), Text("caishu")).size(), 10239u);
}

TEST(SettingsFileTest, LeadingControlBytesAreSkippedAndEmptyNamesRefused) {
    TempFolder dir;
    const std::string file = dir.file("config.ini");
    ASSERT_TRUE(WriteSetting(" \t" + file, Text("\x01 canshu"), Text("  youdianid"), Text("7")));
    EXPECT_EQ(ReadSetting("\n" + file, Text(" canshu"), Text("\tyoudianid")), Text("7"));
    EXPECT_EQ(ReadSetting(file, Text("  "), Text("youdianid")), Text{});
    EXPECT_EQ(ReadSetting(file, Text("canshu"), Text("\x1F")), Text{});
    EXPECT_EQ(ReadSetting(" ", Text("canshu"), Text("youdianid")), Text{});
    EXPECT_FALSE(WriteSetting(file, Text(" "), Text("k"), Text("v")));
    EXPECT_FALSE(WriteSetting(file, Text("canshu"), Text(""), Text("v")));
}

TEST(SettingsFileTest, ValuesAndNamesCannotAddLinesToTheFile) {
    TempFolder dir;
    const std::string file = dir.file("config.ini");
    ASSERT_TRUE(WriteSetting(file, Text("peizhi"), Text("caishu"), Text("a|b\r\n[canshu]\r\nyoudianid=666")));
    EXPECT_EQ(ReadSetting(file, Text("peizhi"), Text("caishu")), Text("a|b"));
    EXPECT_EQ(ReadSetting(file, Text("canshu"), Text("youdianid")), Text{});
    EXPECT_FALSE(WriteSetting(file, Text("a]\n[b"), Text("k"), Text("v")));
    EXPECT_FALSE(WriteSetting(file, Text("canshu"), Text("k=v"), Text("v")));
    EXPECT_FALSE(WriteSetting(file, Text("canshu"), Text("[k]"), Text("v")));
    EXPECT_EQ(Slurp(file), "[peizhi]\r\ncaishu=a|b\r\n");
}

TEST(SettingsFileTest, ReadOnlyFileOrDirectoryFailsAndLeavesTheFileAlone) {
    TempFolder dir;
    const std::string file = dir.file("config.ini");
    const std::string original = "[canshu]\r\nyoudianid=1\r\n";
    Spit(file, original);
    ASSERT_EQ(::chmod(file.c_str(), 0444), 0);
    EXPECT_FALSE(WriteSetting(file, Text("canshu"), Text("youdianid"), Text("2")));
    EXPECT_EQ(Slurp(file), original);
    EXPECT_EQ(ReadSetting(file, Text("canshu"), Text("youdianid")), Text("1"));

    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
    EXPECT_FALSE(WriteSetting(file, Text("canshu"), Text("youdianid"), Text("2")));
    EXPECT_FALSE(WriteSetting(dir.file("new.ini"), Text("canshu"), Text("youdianid"), Text("2")));
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    EXPECT_EQ(Slurp(file), original);
    EXPECT_FALSE(fs::exists(dir.file("new.ini")));
}

TEST(SettingsFileTest, WritesThroughALinkAndKeepsThePermissions) {
    TempFolder dir;
    const std::string real = dir.file("real.ini");
    const std::string link = dir.file("config.ini");
    Spit(real, "[canshu]\nyoudianid=1\n");
    ASSERT_EQ(::chmod(real.c_str(), 0600), 0);
    fs::create_symlink(real, link);
    ASSERT_TRUE(WriteSetting(link, Text("canshu"), Text("youdianid"), Text("2")));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Slurp(real), "[canshu]\nyoudianid=2\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST(SettingsFileTest, AFileSpeltInAnotherLetterCaseIsUsedRatherThanShadowed) {
    TempFolder dir;
    Spit(dir.file("Config.ini"), "[canshu]\r\nyoudianid=5\r\n");
    EXPECT_EQ(ReadSetting(dir.file("config.ini"), Text("canshu"), Text("youdianid")), Text("5"));
    ASSERT_TRUE(WriteSetting(dir.file("config.ini"), Text("canshu"), Text("youdianid"), Text("6")));
    EXPECT_EQ(Slurp(dir.file("Config.ini")), "[canshu]\r\nyoudianid=6\r\n");
    EXPECT_FALSE(fs::exists(dir.file("config.ini")));
}

TEST(SettingsFileTest, MissingParentDirectoryIsCreated) {
    TempFolder dir;
    const std::string file = dir.path() + "/xdg/rankmoth/config.ini";
    ASSERT_TRUE(WriteSetting(file, Text("canshu"), Text("youdianid"), Text("9")));
    EXPECT_EQ(ReadSetting(file, Text("canshu"), Text("youdianid")), Text("9"));
}

TEST(ConfigFileTest, BesideTheExecutableUnlessThatDirectoryIsReadOnly) {
    struct Case {
        bool writable;
        const char* xdg;
        const char* home;
        const char* expected;
    } const cases[] = {
        {true, "/x", "/home/u", "/opt/rm/config.ini"},
        {false, "/x/", "/home/u", "/x/rankmoth/config.ini"},
        {false, nullptr, "/home/u", "/home/u/.config/rankmoth/config.ini"},
        {false, "relative", "/home/u", "/home/u/.config/rankmoth/config.ini"},
        {false, "", "", "/opt/rm/config.ini"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ConfigFileFor("/opt/rm", c.writable, c.xdg, c.home), c.expected) << c.xdg << " " << c.home;
    EXPECT_TRUE(fs::exists(ExecutableDir() + "/app_tests"));
}

} // namespace
} // namespace rankmoth::base
