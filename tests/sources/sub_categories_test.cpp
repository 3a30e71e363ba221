#include "sources/sub_categories.h"
#include "tests/support/fake_controls.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace rankmoth::sources {
namespace {

using testing::FakeControls;

TEST(SubCategoryTest, EachCrLfEndsAnEntryAndOnlyANonEmptyRestAddsOne) {
    const struct {
        std::string content;
        std::vector<std::string> entries;
    } cases[] = {
        {"A|1\r\nB|2\r\n", {"A|1", "B|2"}},
        {"A\r\n\r\nB", {"A", "", "B"}},
        {"\r\n", {""}},
        {"", {}},
        {"A\nB\r\n", {"A\nB"}}, // a lone LF is part of an entry
        {"A\r\r\nB\r", {"A\r", "B\r"}},
        {std::string("A\r\nB\0C\r\nD", 10), {"A", "B"}}, // reading stops at a zero byte
        // D5 0D is one GBK character; its trail byte must not start a separator.
        {"\xD5\x0D\nX\r\n", {"\xD5\x0D\nX"}},
    };
    for (const auto& c : cases) {
        std::vector<Text> expected;
        for (const auto& e : c.entries)
            expected.emplace_back(e);
        EXPECT_EQ(SplitSubCategories(TextOf(c.content)), expected) << c.content;
    }
}

class SubCategoryFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               (std::string("rankmoth-subcat-") + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    void Write(const std::string& content) {
        std::ofstream(SubCategoryFile(dir_.string()), std::ios::binary) << content;
    }
    std::vector<Text> Entries() { return controls_.Control("MainWindow", "组合框_小分类").comboEntries; }

    std::filesystem::path dir_;
    FakeControls controls_;
};

TEST_F(SubCategoryFileTest, EntriesAreAppendedInFileOrderAfterExistingOnes) {
    EXPECT_EQ(SubCategoryFile("/opt/rankmoth"), "/opt/rankmoth/XiaoFenLei.txt");
    Write("A|1\r\n" + "女装|16\r\n"_gbk.bytes());
    controls_.AddComboEntry("MainWindow", "组合框_小分类", Text("old"));
    LoadSubCategories(controls_, SubCategoryFile(dir_.string()));
    EXPECT_EQ(Entries(), (std::vector<Text>{Text("old"), Text("A|1"), "女装|16"_gbk}));
}

TEST_F(SubCategoryFileTest, MissingOrEmptyFileAddsNothingAndSaysNothing) {
    LoadSubCategories(controls_, SubCategoryFile(dir_.string()));
    EXPECT_TRUE(Entries().empty());
    Write("");
    LoadSubCategories(controls_, SubCategoryFile(dir_.string()));
    EXPECT_TRUE(Entries().empty());
    // A directory where the file should be cannot be read as one.
    LoadSubCategories(controls_, dir_.string());
    EXPECT_TRUE(Entries().empty());
    EXPECT_TRUE(controls_.MessageBoxes().empty());
}

} // namespace
} // namespace rankmoth::sources
