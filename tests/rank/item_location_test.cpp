#include "rank/cell_colours.h"
#include "rank/item_location.h"
#include "tests/support/fake_controls.h"

#include <gtest/gtest.h>

namespace rankmoth::rank {
namespace {

using testing::FakeControls;

TEST(ItemLocationTest, BandsSplitThePageAtThreeAndSix) {
    const Text upper = "页靠上面的位置发现了此宝贝"_gbk;
    const Text middle = "页靠中间的位置发现了此宝贝"_gbk;
    const Text lower = "页靠下面的位置发现了此宝贝"_gbk;
    const Text expected[] = {upper, upper, upper, middle, middle, middle, lower, lower, lower, lower};
    for (int i = 1; i <= 10; ++i)
        EXPECT_EQ(BandText(i), expected[i - 1]) << i;
    EXPECT_EQ(RankPositionText(3, 1), "在第3页靠上面的位置发现了此宝贝"_gbk);
    EXPECT_EQ(RankPositionText(12, 8), "在第12页靠下面的位置发现了此宝贝"_gbk);
}

TEST(ItemLocationTest, MaskKeepsAllButTheFirstThreeBytes) {
    const struct {
        const char* id;
        const char* masked;
    } cases[] = {
        {"52000101", "***00101"}, {"12", "***"}, {"123", "***"}, {"1234", "***4"}, {"", "***"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MaskItemId(Text(c.id)), Text(c.masked)) << c.id;
}

TEST(ItemLocationTest, QueryTimePadsOnlyMinuteAndSecond) {
    EXPECT_EQ(FormatQueryTime({2024, 3, 5, 9, 5, 7}), Text("2024-3-5 9:05:07"));
    EXPECT_EQ(FormatQueryTime({2026, 12, 31, 23, 59, 0}), Text("2026-12-31 23:59:00"));
    EXPECT_EQ(FormatQueryTime({2025, 1, 1, 0, 10, 10}), Text("2025-1-1 0:10:10"));
}

TEST(ItemLocationTest, SortColoursAreRedOnTheSortsBackground) {
    EXPECT_EQ(SortCellColours("最热"_gbk).background, 0x00FFFFu);
    EXPECT_EQ(SortCellColours("最新"_gbk).background, 0xFFFF00u);
    EXPECT_EQ(SortCellColours("潮流"_gbk).background, 0x80FF80u);
    EXPECT_EQ(SortCellColours(Text{}).background, 0x80FF80u);
    EXPECT_EQ(SortCellColours("最热"_gbk).text, 0x0000FFu);
}

TEST(ItemLocationTest, ProgressTexts) {
    EXPECT_EQ(QueryProgressStatus("潮流"_gbk, 1, 1, 1),
              " 当前查询排序: 潮流 -> 当前查询页面: 第1页 -> 查询进度: 0 -> 宝贝进度: 1"_gbk);
    EXPECT_EQ(QueryProgressStatus("最新"_gbk, 7, 10, 45),
              " 当前查询排序: 最新 -> 当前查询页面: 第7页 -> 查询进度: 9 -> 宝贝进度: 45"_gbk);
    EXPECT_EQ(ItemProgressCaption(3, Text("52000103")), "正在查询第3个，宝贝ID:52000103"_gbk);
}

// True when `needle` is found in `text` as the item check searches.
bool Found(const Text& text, const Text& needle) {
    const GbkHaystack haystack(text);
    return haystack.Contains(needle);
}

TEST(ItemLocationTest, HaystackMatchesOnlyOnCharacterStarts) {
    // "臷" is D5 4B: its trail byte is an ASCII "K".
    const struct {
        Text text;
        Text needle;
        bool found;
    } cases[] = {
        {Text("\xD5"
              "K"
              "xK"),
         Text("K"), true},
        {Text("\xD5"
              "K"
              "xK"),
         Text("xK"), true},
        {Text("\xD5"
              "Kx"),
         Text("Kx"), false},
        // B0 A1 A1 A1: the full-width space starts at the third byte, not at the second.
        {Text("\xB0\xA1\xA1\xA1"), Text("\xA1\xA1"), true},
        {Text("\xB0\xA1\xA1"), Text("\xA1\xA1"), false},
        // Case-sensitive, byte-exact.
        {Text("Dress"), Text("dress"), false},
        {"法式连衣裙 款号32"_gbk, "连衣裙 款号32"_gbk, true},
        {"法式连衣裙 款号3"_gbk, "连衣裙 款号32"_gbk, false},
        // An empty title is found in any slice that is not empty.
        {Text("x"), Text{}, true},
        {Text{}, Text{}, false},
        {Text{}, Text("x"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Found(c.text, c.needle), c.found) << c.text.ToUtf8() << " / " << c.needle.ToUtf8();
}

TEST(CellColourTableTest, OneEntryPerCellWithTheLaterColours) {
    FakeControls controls;
    CellColourTable table;
    table.SetCellColour(controls, "MainWindow", "超级列表框1", 0, 3, 0x0000FF, 0x00FFFF, true);
    table.SetCellColour(controls, "MainWindow", "超级列表框1", 0, 3, 0x0000FF, 0xFFFF00, true);
    table.SetCellColour(controls, "MainWindow", "超级列表框1", 1, 3, 0x0000FF, 0x80FF80, true);
    ASSERT_EQ(table.entries().size(), 2u);
    EXPECT_EQ(table.Find(0, 3)->background, 0xFFFF00u);
    const auto cells = controls.Control("MainWindow", "超级列表框1").cellColours;
    EXPECT_EQ(cells.at({0, 3}).second, 0xFFFF00u);
    EXPECT_EQ(cells.at({1, 3}).second, 0x80FF80u);
}

TEST(CellColourTableTest, ListColoursRemoveTheEntryAndRepaintThePlainCell) {
    FakeControls controls;
    CellColourTable table;
    table.SetCellColour(controls, "MainWindow", "超级列表框1", 2, 3, 0x0000FF, 0x00FFFF, true);
    table.SetCellColour(controls, "MainWindow", "超级列表框1", 2, 3, FakeControls::kListText,
                        FakeControls::kListBackground, true);
    EXPECT_TRUE(table.entries().empty());
    EXPECT_TRUE(controls.Control("MainWindow", "超级列表框1").cellColours.empty());
    // A first colouring with the list's own colours adds nothing.
    table.SetCellColour(controls, "MainWindow", "超级列表框1", 4, 1, FakeControls::kListText, 0x123456, false);
    EXPECT_TRUE(table.entries().empty());
}

TEST(CellColourTableTest, WithoutBackgroundTheListBackgroundIsTaken) {
    FakeControls controls;
    CellColourTable table;
    table.SetCellColour(controls, "MainWindow", "超级列表框1", 0, 2, 0x0000FF, 0x00FFFF, false);
    ASSERT_TRUE(table.Find(0, 2));
    EXPECT_EQ(table.Find(0, 2)->background, FakeControls::kListBackground);
    EXPECT_EQ(table.list(), "超级列表框1");
}

TEST(CellColourTableTest, DeletingRowsKeepsTheTable) {
    FakeControls controls;
    CellColourTable table;
    controls.AddRow("MainWindow", "超级列表框1", Text("1"));
    table.SetCellColour(controls, "MainWindow", "超级列表框1", 0, 3, 0x0000FF, 0x00FFFF, true);
    controls.DeleteAllRows("MainWindow", "超级列表框1");
    EXPECT_EQ(table.entries().size(), 1u);
}

} // namespace
} // namespace rankmoth::rank
