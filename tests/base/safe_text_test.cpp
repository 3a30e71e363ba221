// Marketplace text on its way into a spreadsheet or a terminal.
#include "base/safe_text.h"

#include <gtest/gtest.h>

namespace rankmoth::base {
namespace {

TEST(SafeTextTest, CsvFieldsCannotRunAsFormulas) {
    const struct {
        const char* field;
        const char* want;
    } cases[] = {
        {"52000107", "52000107"},    {"", ""},
        {"A,B", "\"A,B\""},          {"5\"寸", "\"5\"\"寸\""},
        {"a\r\nb", "\"a\r\nb\""},    {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"+1+1", "\"'+1+1\""},       {"-2+3", "\"'-2+3\""},
        {"@SUM(1)", "\"'@SUM(1)\""}, {"\tcmd", "\"'\tcmd\""},
        {"\rcmd", "\"'\rcmd\""},     {"a=b", "a=b"}, // only the first character can start a formula
    };
    for (const auto& c : cases)
        EXPECT_EQ(CsvField(c.field), c.want) << c.field;
}

TEST(SafeTextTest, TerminalTextHasNoControlCharacters) {
    const std::string r = "\xEF\xBF\xBD";
    const struct {
        std::string text;
        std::string want;
    } cases[] = {
        {"晴天 短袖", "晴天 短袖"},
        {"\x1B]0;owned\x07title", r + "]0;owned" + r + "title"},
        {"\x1B[2J", r + "[2J"},
        {std::string("a\0b", 3), "a" + r + "b"},
        {"tab\there\r\n", "tab" + r + "here" + r + r},
        {"del\x7F", "del" + r},
        {"c1\xC2\x9B"
         "31m",
         "c1" + r + "31m"}, // U+009B, the one-character CSI
        {"nbsp\xC2\xA0", "nbsp\xC2\xA0"},
        {"cut\xE6\x99", "cut" + r + r},
        {"\xFF", r},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TerminalSafe(c.text), c.want) << c.text;
}

TEST(SafeTextTest, Utf8Validity) {
    const struct {
        std::string bytes;
        bool valid;
    } cases[] = {
        {"", true},
        {"demo", true},
        {"衣服", true},
        {"\xF0\x9F\x98\x80", true},
        {"s1\xFF\xFE", false},
        {"\xC0\x80", false},
        {"\xED\xA0\x80", false},
        {"\xF4\x90\x80\x80", false},
        {"\xE8\xA1", false},
        {"\x80", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsValidUtf8(c.bytes), c.valid) << c.bytes;
}


TEST(Markup, EscapesMarkupAndReplacesWhatNoParserTakes) {
    const std::pair<std::string, std::string> cases[] = {
        {"<script>&\"'", "&lt;script&gt;&amp;&quot;&#39;"},
        {"连衣裙 A-1", "连衣裙 A-1"},
        {"tab\tline\r\n", "tab\tline\r\n"},
        {"bell\x07", "bell\xEF\xBF\xBD"},
        {"c1\xC2\x85", "c1\xEF\xBF\xBD"},               // NEL, a C1 control
        {"\xFF<", "\xEF\xBF\xBD&lt;"},                    // a byte that is never UTF-8
        {"\xE8\xA3", "\xEF\xBF\xBD\xEF\xBF\xBD"},         // cut short
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},         // overlong '/'
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"}, // a surrogate
        {"\xEF\xBF\xBE", "\xEF\xBF\xBD"},                 // a noncharacter
        {"\xF0\x9F\x91\x97", "\xF0\x9F\x91\x97"},         // beyond the basic plane
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(MarkupText(in), out) << in;
}

} // namespace
} // namespace rankmoth::base
