#include "base/file_locations.h"
#include "base/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace rankmoth::base {
namespace {

namespace fs = std::filesystem;

TEST(FileLocationsTest, PortableBesideTheExecutableInstalledInTheUserFolders) {
    const struct {
        bool writable;
        LocationEnv env;
        const char *config, *data, *cache;
    } cases[] = {
        {true, {"/x", "/d", "/c", "/home/u"}, "/opt/rm", "/opt/rm", "/cwd"},
        {false, {"/x/", "/d", "/c//", "/home/u"}, "/x/rankmoth", "/d/rankmoth", "/c/rankmoth"},
        {false,
         {nullptr, nullptr, nullptr, "/home/u/"},
         "/home/u/.config/rankmoth",
         "/home/u/.local/share/rankmoth",
         "/home/u/.cache/rankmoth"},
        {false,
         {"rel", "", "rel", "/home/u"},
         "/home/u/.config/rankmoth",
         "/home/u/.local/share/rankmoth",
         "/home/u/.cache/rankmoth"},
        // Nowhere better: reads work beside the executable and writes fail there; never the current directory.
        {false, {nullptr, nullptr, nullptr, ""}, "/opt/rm", "/opt/rm", "/opt/rm"},
    };
    for (const auto& c : cases) {
        const FileLocations got = LocateFiles("/opt/rm", c.writable, c.env, "/cwd");
        EXPECT_EQ(got.installed, !c.writable);
        EXPECT_EQ(got.configDir, c.config);
        EXPECT_EQ(got.dataDir, c.data);
        EXPECT_EQ(got.cacheDir, c.cache);
        EXPECT_EQ(got.shareDir, c.writable ? "" : "/opt/rm/../share/rankmoth");
    }
}

class InstalledTree : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "rankmoth-installed-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
        ASSERT_FALSE(root_.empty());
        fs::create_directories(root_ + "/usr/bin");
        fs::create_directories(root_ + "/usr/share/rankmoth");
        fs::create_directories(root_ + "/home");
        fs::permissions(root_ + "/usr/bin", fs::perms::owner_read | fs::perms::owner_exec);
    }
    void TearDown() override {
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(root_, error))
            fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(root_, error);
    }
    FileLocations Locate(const char* home) {
        const std::string bin = root_ + "/usr/bin";
        return LocateFiles(bin, PortableCopy(bin), LocationEnv{nullptr, nullptr, nullptr, home}, root_);
    }
    std::string root_;
};

TEST_F(InstalledTree, AWritableFolderIsInstalledWhenTheShareFolderIsBesideIt) {
    const std::string bin = root_ + "/usr/bin";
    fs::permissions(bin, fs::perms::owner_all);
    EXPECT_FALSE(PortableCopy(bin)); // root running /usr/bin/rankmoth, or an unpacked package
    fs::remove_all(root_ + "/usr/share/rankmoth");
    EXPECT_TRUE(PortableCopy(bin)); // a build tree or an unpacked archive
    fs::permissions(bin, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(PortableCopy(bin));
}

// Writing nothing beside the installed program itself is checked on the installed tree (install_test.sh).
TEST_F(InstalledTree, ExampleListCopiedOnceByteForByteAndFailuresReportedNotFatal) {
    const std::string gbk = "\xc5\xae\xd7\xb0\r\n\xc4\xd0\xd7\xb0\r\n"; // 女装, 男装
    std::ofstream(root_ + "/usr/share/rankmoth/XiaoFenLei.txt", std::ios::binary) << gbk;
    const std::string home = root_ + "/home";
    const std::string list = home + "/.config/rankmoth/XiaoFenLei.txt";
    const auto content = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_TRUE(PrepareUserFiles(Locate(home.c_str())).empty());
    EXPECT_EQ(content(list), gbk);
    std::ofstream(list, std::ios::binary) << "mine";
    EXPECT_TRUE(PrepareUserFiles(Locate(home.c_str())).empty());
    EXPECT_EQ(content(list), "mine"); // the user's own list is never replaced

    // A file where the folders should go (no one, root included, can make them there), and no example.
    const std::string homeFile = root_ + "/home-file";
    std::ofstream(homeFile) << "";
    fs::remove_all(root_ + "/usr/share/rankmoth");
    const std::vector<std::string> problems = PrepareUserFiles(Locate(homeFile.c_str()));
    ASSERT_EQ(problems.size(), 4u) << problems.front(); // three folders, then the list it could not start
    EXPECT_NE(problems[0].find(homeFile + "/.config/rankmoth"), std::string::npos) << problems[0];
    EXPECT_NE(problems[3].find(root_ + "/usr/bin/../share/rankmoth/XiaoFenLei.txt"), std::string::npos) << problems[3];
}

} // namespace
} // namespace rankmoth::base
