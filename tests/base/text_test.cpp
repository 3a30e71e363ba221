#include "base/text.h"

#include <gtest/gtest.h>

namespace rankmoth {
namespace {

TEST(TextTest, LiteralIsGbkAndEndsAtZeroByte) {
    EXPECT_EQ("在第"_gbk.bytes(), "\xD4\xDA\xB5\xDA");
    EXPECT_EQ(Text(std::string_view("ab\0cd", 5)).bytes(), "ab");
    EXPECT_EQ(Text("\xD4\xDA").ToUtf8(), "在");
}

TEST(TextTest, SearchNeverStartsOnATrailByte) {
    // "臷" is D5 4B: its trail byte is an ASCII "K", which must not be found inside the character.
    const Text text("\xD5" "K" "K");
    EXPECT_EQ(Find(text, Text("K")), 3);
    // A0 A1 A1 A1: the full-width space A1 A1 starts at byte 3, not inside the first character.
    EXPECT_EQ(Find(Text("\xB0\xA1\xA1\xA1"), Text("\xA1\xA1")), 3);
    EXPECT_EQ(Find(Text("abc"), Text("d")), -1);
    EXPECT_EQ(Find(Text("abcabc"), Text("c"), 4), 6);
    EXPECT_EQ(Find(Text("abc"), Text("a"), 9), -1);
    EXPECT_EQ(Find(Text("abc"), Text{}), -1);
}

// The search as a walk from the first byte of the text, two bytes at a lead byte: the definition the search
// keeps while it starts from wherever it is asked to.
int WalkingFind(const std::string& text, const std::string& part, int start, bool caseSensitive) {
    const auto fold = [caseSensitive](char c) { return !caseSensitive && c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; };
    for (std::size_t i = 0; !part.empty() && i < text.size();
         i += static_cast<unsigned char>(text[i]) >= 0x80 ? 2 : 1) {
        if (static_cast<int>(i) + 1 < start || i + part.size() > text.size())
            continue;
        std::size_t k = 0;
        while (k < part.size() && fold(text[i + k]) == fold(part[k]))
            ++k;
        if (k == part.size())
            return static_cast<int>(i) + 1;
    }
    return -1;
}

TEST(TextTest, SearchFromAnyPositionFindsWhatAWalkFromTheStartFinds) {
    // Trail bytes in the ASCII range, runs of lead-range bytes of both parities, a lead byte cut off at
    // the end; and a longer text mixing the same bytes, so that starts land inside every kind of run.
    std::vector<std::string> texts = {
        "\xD5KK\xD5K", "\xB0\xA1\xA1\xA1\xA1\xA1K", "a\xB0\xA1\xA1\xA1\x41\x62\x81\x41\x62", "K\x81K\x81\x81KK",
        "xK\xB0",      "\xA1\xA1\xA1K\xA1\xA1",
    };
    std::string mixed;
    std::uint32_t x = 12345;
    for (int k = 0; k < 600; ++k) {
        x = x * 1664525u + 1013904223u;
        mixed += "Kka\x81\xA1\xB0"[(x >> 24) % 6];
    }
    texts.push_back(mixed);
    const std::string parts[] = {"K", "KK", "k", "Ab", "\xA1\xA1", "\xA1K", "\x81K", "K\xA1"};
    for (const std::string& text : texts) {
        const int size = static_cast<int>(text.size());
        for (const std::string& part : parts) {
            for (const bool caseSensitive : {true, false}) {
                for (int start = 0; start <= size + 1; ++start) {
                    const int expected = WalkingFind(text, part, start, caseSensitive);
                    ASSERT_EQ(Find(Text(text), Text(part), start, caseSensitive), expected)
                        << testing::PrintToString(text) << " " << testing::PrintToString(part) << " from " << start;
                    for (const int end : {start, start + 1, start + 2, expected, expected + 1, size + 2}) {
                        const int before = expected > 0 && expected < end ? expected : -1;
                        ASSERT_EQ(FindBefore(Text(text), Text(part), start, end, caseSensitive), before)
                            << testing::PrintToString(text) << " " << testing::PrintToString(part) << " from " << start
                            << " before " << end;
                    }
                }
            }
        }
    }
}

TEST(TextTest, CaseInsensitiveSearchFoldsOnlyAscii) {
    EXPECT_EQ(Find(Text("xxSet-COOKIE: a"), Text("set-cookie: "), 1, false), 3);
    EXPECT_EQ(Find(Text("xxSet-COOKIE: a"), Text("set-cookie: "), 1, true), -1);
    // The trail byte 0x41 ("A") of a double-byte character is not folded into "a".
    EXPECT_EQ(Find(Text("\x81" "A" "a"), Text("a"), 1, false), 3);
}

TEST(TextTest, TrimsOnlyAsciiAndFullWidthSpaces) {
    EXPECT_EQ(TrimSpaces(Text("\xA1\xA1 12345 \xA1\xA1")), Text("12345"));
    EXPECT_EQ(TrimSpaces(Text("\t12\n")), Text("\t12\n"));
    // B0 A1 ends in A1 but holds no space; the trailing single A1 is not a whole full-width space.
    EXPECT_EQ(TrimRightSpaces(Text("\xB0\xA1 ")), Text("\xB0\xA1"));
    EXPECT_EQ(RemoveAllSpaces(Text(" a \xA1\xA1 b ")), Text("ab"));
    EXPECT_EQ(TrimSpaces(Text("   ")), Text{});
}

TEST(TextTest, IntegerOfFoldsFullWidthAndReadsLeadingDigits) {
    struct Case {
        const char* utf8;
        long long expected;
    };
    const Case cases[] = {
        {"110", 110},  {"110abc", 110}, {"abc", 0},       {"", 0},         {"  -12", -12}, {"+7x", 7},
        {"１００", 100}, {"－３", -3},     {"　４２", 42}, {"1 2", 1}, {"99999999999999999999999", LLONG_MAX},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IntegerOf(Text::FromUtf8(c.utf8)), c.expected) << c.utf8;
}

TEST(TextTest, ReplaceAndSplitKeepEmptyPieces) {
    EXPECT_EQ(ReplaceAll(Text("a\r\nb\r\n"), Text("\r\n"), Text("{$}")), Text("a{$}b{$}"));
    EXPECT_EQ(ReplaceFirst(Text("xRefererNoyRefererNo"), Text("RefererNo"), Text{}), Text("xyRefererNo"));
    const auto pieces = SplitAll(Text("1||3|"), Text("|"));
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(pieces[1], Text{});
    EXPECT_EQ(pieces[3], Text{});
}

TEST(TextTest, SubstringsClampToTheText) {
    const Text t("abcdef");
    EXPECT_EQ(Left(t, 2), Text("ab"));
    EXPECT_EQ(Right(t, 10), t);
    EXPECT_EQ(Mid(t, 5, 10), Text("ef"));
    EXPECT_EQ(Mid(t, 7, 1), Text{});
    EXPECT_EQ(MidToEnd(t, 0), t);
    EXPECT_EQ(Left(t, -1), Text{});
}

} // namespace
} // namespace rankmoth
