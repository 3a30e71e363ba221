#include "web/codecs.h"

#include "base/eventpump.h"

#include <gtest/gtest.h>

#include <string>

namespace rankmoth {
// Failures show the text as bytes in hex rather than as an object dump.
static void PrintTo(const Text& text, std::ostream* os) {
    *os << '"';
    for (const char c : text.bytes()) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F)
            *os << c;
        else
            *os << "\\x"
                << "0123456789ABCDEF"[b >> 4] << "0123456789ABCDEF"[b & 15];
    }
    *os << '"';
}
} // namespace rankmoth

namespace rankmoth::web {
namespace {

class CountingPump final : public base::EventPump {
public:
    int dispatches = 0;
    void PumpingWait(std::chrono::microseconds) override {}
    void DispatchPending() override { ++dispatches; }
    void WaitForDoneOrEvents(const base::DoneSignal&, std::chrono::milliseconds) override {}
    std::chrono::milliseconds Now() override { return {}; }
};

TEST(UrlEncodeTest, KeepsOnlyTheSafeBytesAndAlwaysWritesTwoDigits) {
    struct Case {
        const char* gbk;
        bool keepSafe;
        const char* expected;
    } const cases[] = {
        {" ", true, "%20"},
        {"\n", true, "%0A"},
        {"_~*+", true, "%5F%7E%2A%2B"},
        {",-./09AZaz", true, ",-./09AZaz"},
        {":@[`{", true, "%3A%40%5B%60%7B"},
        {"a", false, "%61"},
        {",9Z", false, "%2C%39%5A"},
        {"", true, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(UrlEncode(Text(c.gbk), c.keepSafe), c.expected) << c.gbk;
}

TEST(UrlEncodeTest, EncodesEachByteOfTheUtf8FormAndPumpsOncePerByte) {
    CountingPump pump;
    EXPECT_EQ(UrlEncode("在"_gbk, true, &pump), "%E5%9C%A8");
    EXPECT_EQ(pump.dispatches, 3);
    EXPECT_EQ(UrlEncode("T恤 x"_gbk, true), "T%E6%81%A4%20x");
}

TEST(DecodeEscapesTest, DecodesEscapeForms) {
    struct Case {
        const char* input;
        std::string expectedUtf8;
    } const cases[] = {
        {"\\u5728\\u7B2C", "在第"},
        {"\\u5728x", "在x"},
        {"a\\/b", "a/b"},
        {"it's", "it's"},
        {"\\'", "'"},
        {"\\\"", "\""},
        {"%25", "%"},
        {"%2541", "%41"}, // unescape runs once
        {"\\x2541", "A"}, // but sees what the literal produced
        {"%u4e2d%u6587", "中文"},
        {"%41%42%zz%4%u12", "AB%zz%4%u12"},
        {"\\\\", "\\"},
        {"\\\\u0041", "A"}, // "\u" is rewritten wherever it stands, even after a backslash
        {"\\t|\\b|\\f|\\v|\\r|\\n", "\t|\b|\f|\v|\r|\n"},
        {"\\x41\\x4", "Ax4"},
        {"\\xg1", "xg1"},
        {"\\101\\1012", "AA2"},
        {"\\400", " 0"}, // a leading 4-7 takes one more digit only
        {"\\47", "'"},
        {"\\8\\9", "89"},
        {"\\q\\%", "q%"},
        {"a\\0b", "a"}, // U+0000 ends the text
        {"%00x", ""},
        {"%u00e9", "é"},
        {"%uD83D%uDE00|%uD83D|%uDE00", "?|?|?"},
        {"%u0100", "?"}, // Ā has no GBK form
        {"’", "'"},
        {"{$}", "\r\n"},
        {"%7B$%7D", "\r\n"},
        {"\\{$}", "\r\n"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeEscapes(Text::FromUtf8(c.input)), Text::FromUtf8(c.expectedUtf8)) << c.input;
}

TEST(DecodeEscapesTest, LineBreaksOutsideCrLfPairsAndTrailingBackslashesGiveEmptyText) {
    struct Case {
        const char* input;
        const char* expected;
    } const cases[] = {
        {"a\nb", ""},         {"a\rb", ""}, {"a\n\r", ""},          {"abc\\", ""},
        {"abc\\\\\\", ""},    {"\\", ""},   {"a\\\r\nb", "a\r\nb"}, {"a\r\nb\r\n", "a\r\nb\r\n"},
        {"\rx", "x"}, // only a lone CR at the very start is dropped
        {"\r\r\nx", "\r\nx"}, {"x\r", ""},  {"abc\\\\", "abc\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DecodeEscapes(Text(c.input)), Text(c.expected)) << c.input;
}

TEST(DecodeEscapesTest, TrailBytesAreNeverReadAsEscapesOrQuotes) {
    // 81 5C has a backslash as its trail byte; it neither escapes nor is escaped.
    for (const char* gbk : {"\x81\x5C",
                            "\x81\x5C\x81\x5C"
                            "u0041",
                            "x\x81\x5C", "\\\x81\x5C"})
        EXPECT_EQ(DecodeEscapes(Text(gbk)), Text(gbk[0] == '\\' ? gbk + 1 : gbk)) << gbk;
    // A lead byte before a byte that cannot be a trail byte stands alone as "?", and the byte after it is
    // still read: a quote stays a quote, a lone LF still makes the text unreadable.
    EXPECT_EQ(DecodeEscapes(Text("\x81'x")), Text("?'x"));
    EXPECT_EQ(DecodeEscapes(Text("\x81\r\nx")), Text("?\r\nx"));
    EXPECT_EQ(DecodeEscapes(Text("\x81\nx")), Text{});
    EXPECT_EQ(DecodeEscapes(Text("ab\x81")), Text("ab?"));
}

TEST(Utf8ToGbkTest, UnmappableAndMalformedInputBecomesQuestionMarks) {
    EXPECT_EQ(Utf8ToGbk("在第2页"), "在第2页"_gbk);
    EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80"
                        "b"),
              Text("a?b")); // emoji: no GBK form
    EXPECT_EQ(Utf8ToGbk("a\xC3"
                        "b"),
              Text("a?b"));                        // cut sequence, the next byte still read
    EXPECT_EQ(Utf8ToGbk("a\xE5\x9C"), Text("a?")); // cut at the end
    EXPECT_EQ(Utf8ToGbk(std::string_view("x\0y", 3)), Text("x"));
    EXPECT_EQ(GbkToUtf8(Text("\xD4\xDA"
                             "a")),
              "在a");
    EXPECT_EQ(GbkToUtf8(Text("a\xFF")), "a\xEF\xBF\xBD");
}

TEST(Big5ToSimplifiedGbkTest, MapsToSimplifiedCharactersKeepingTheByteLength) {
    const Text out = Big5ToSimplifiedGbk("\xA4\xA4\xB0\xEA"
                                         "abc"); // 中國abc
    EXPECT_EQ(out, "中国abc"_gbk);
    EXPECT_EQ(out.size(), 7u);
    // 臺灣 → 台湾 (both in GBK with two bytes each).
    EXPECT_EQ(Big5ToSimplifiedGbk("\xBB\x4F\xC6\x57"), "台湾"_gbk);
    // Already simplified or not Chinese: unchanged.
    EXPECT_EQ(Big5ToSimplifiedGbk("\xA4\xA4 x1"), "中 x1"_gbk);
}

TEST(Big5ToSimplifiedGbkTest, EndsAtTheFirstCharacterWithoutAGbkFormAndSurvivesBadInput) {
    // A1 45 is U+2027, which GBK lacks.
    EXPECT_EQ(Big5ToSimplifiedGbk("ab\xA1\x45"
                                  "cd"),
              Text("ab"));
    // Malformed Big5 is replaced, not a reason to stop or to read past the end.
    EXPECT_EQ(Big5ToSimplifiedGbk("a\xA4\x30"
                                  "b"),
              Text("a?0b"));
    EXPECT_EQ(Big5ToSimplifiedGbk("a\xA3\xC0"
                                  "b"),
              Text("a?b")); // an unassigned pair is one character
    EXPECT_EQ(Big5ToSimplifiedGbk("ab\xA4"), Text("ab?"));
    EXPECT_EQ(Big5ToSimplifiedGbk(std::string_view("a\0\xA4\xA4", 4)), Text("a"));
}

TEST(TextBetweenTest, CutsBetweenMarkers) {
    struct Case {
        const char* text;
        const char* left;
        const char* right;
        bool caseSensitive;
        const char* expected;
    } const cases[] = {
        {"<a href=\"x.html\">", "href=#引号", "#引号", false, "x.html"},
        {"\"total\":12,", "#引号total#引号:", ",", false, "12"},
        {"<DIV>x</div>", "<div>", "</DIV>", false, "x"},
        {"<DIV>x</div>", "<div>", "</DIV>", true, ""},
        {"<div>x</div>", "<div>", "</span>", false, ""}, // right missing
        {"<div>x</div>", "<p>", "</div>", false, ""},    // left missing
        {"]a[1]b[2]", "[", "]", false, "1"},             // right is searched after left only
        {"[]", "[", "]", false, ""},
        {"abc", "", "c", false, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextBetween(Text::FromUtf8(c.text), Text::FromUtf8(c.left), Text::FromUtf8(c.right), c.caseSensitive),
                  Text::FromUtf8(c.expected))
            << c.text << " " << c.left << " " << c.right;
    }
}

TEST(TextBetweenTest, MarkersNeverMatchInsideADoubleByteCharacter) {
    // D5 4B ("臷") ends in "K"; the left marker "K=" must be found after it, not inside it.
    EXPECT_EQ(TextBetween(Text("\xD5K=1;K=2;"), Text("K="), Text(";")), Text("2"));
    EXPECT_EQ(TextBetween(Text("\xD5k=1;K=2;"), Text("K="), Text(";")), Text("2"));
    // The right marker inside a character is skipped too.
    EXPECT_EQ(TextBetween(Text("[a\xD5]b]"), Text("["), Text("]")), Text("a\xD5]b"));
    // Past many ASCII bytes and characters, the boundaries still hold.
    std::string page(1000, 'x');
    page += "\xD5K";
    page += std::string(17, 'y') + "\xB0\xA1K=ok;";
    EXPECT_EQ(TextBetween(Text(page), Text("k="), Text(";")), Text("ok"));
}

} // namespace
} // namespace rankmoth::web
