// The command line's words: typos answered with what was meant, words in any letter case, and a shop ID
// checked as the bytes that will be sent.
#include "cli/command_line.h"
#include "cli/pass_printer.h"
#include "cli/query_options.h"

#include <gtest/gtest.h>

#include <functional>

namespace rankmoth::cli {
namespace {

const std::vector<OptionWord> kGlobal = {
    {"-h", false, false}, {"--help", false, false}, {"--version", false, false}, {"--market-host", true, false}};
const std::vector<CommandWords> kCommands = {
    {"items", {{"--shop", true, true}}},
    {"query",
     {{"--shop", true, true}, {"--pages", true, true}, {"--category", true, true}, {"--no-history", false, false}}},
    {"history", {{"--shop", true, true}, {"--since", true, true}}},
};

TEST(CommandLineTest, TyposAreAnsweredWithWhatWasMeant) {
    const struct {
        std::vector<std::string> args;
        std::string want; // "" when the words are fine
    } cases[] = {
        {{"qeury"}, "unknown command \"qeury\"; did you mean \"query\"?"},
        {{"Query", "--shop", "a"}, "unknown command \"Query\"; did you mean \"query\"?"},
        {{"histroy"}, "unknown command \"histroy\"; did you mean \"history\"?"},
        {{"frobnicate"}, "unknown command \"frobnicate\"; the commands are items, query, history"},
        {{}, "a command is required: items, query, history"},
        {{"--market-host", "h:1"}, "a command is required: items, query, history"},
        {{"query", "--shop", "a", "--page", "3"}, "unknown option \"--page\" for query; did you mean \"--pages\"?"},
        {{"query", "--cat", "shoes"}, "unknown option \"--cat\" for query; did you mean \"--category\"?"},
        {{"query", "--market-hots=h"}, "unknown option \"--market-hots\" for query; did you mean \"--market-host\"?"},
        {{"items", "--pages", "3"}, "unknown option \"--pages\" for items"},
        {{"query", "--zzz"}, "unknown option \"--zzz\" for query"},
        {{"query", "--shop", "a", "--shop=b"}, "--shop is given twice; it takes one value"},
        {{"--market-host", "a", "query", "--market-host", "b"}, ""}, // the hosts may be overridden
        {{"query", "--no-history", "--no-history"}, ""},
        {{"query", "--shop", "a", "--pages", "2"}, ""},
        {{"qeury", "--help"}, ""}, // help is the parser's to give
        {{"query", "--shop", "s1\xFF\xFE"}, "argument 3 is not valid UTF-8: \"s1\\xFF\\xFE\""},
        {{"query", "--shop", "衣服\xE8"}, "argument 3 is not valid UTF-8: \"衣服\\xE8\""},
    };
    for (const auto& c : cases) {
        std::string line;
        for (const auto& a : c.args)
            line += a + " ";
        EXPECT_EQ(CheckCommandLine(c.args, kGlobal, kCommands), c.want) << line;
    }
}

TEST(CommandLineTest, WordsInAnyLetterCaseAndShopIdsAsSent) {
    std::string error;
    const struct {
        const char* what;
        std::function<std::string()> got;
        std::string want;
    } cases[] = {
        {"category slug", [&] { return ParseCategory("Clothing", error)->slug; }, "clothing"},
        {"category slug upper", [&] { return ParseCategory("SHOES", error)->slug; }, "shoes"},
        {"category label", [&] { return ParseCategory("鞋子", error)->slug; }, "shoes"},
        {"sort", [&] { return ParseSorts("Hot30Day", error)->front().key.bytes(); }, "hot30day"},
        {"all sorts", [&] { return std::to_string(ParseSorts("ALL", error)->size()); }, "3"},
        {"format", [&] { return std::to_string(static_cast<int>(*ParseFormat("JSONL", error))); },
         std::to_string(static_cast<int>(OutputFormat::Jsonl))},
        {"plain ID", [&] { return ParseShopId(" demo ", error)->bytes(); }, "demo"},
        {"CJK ID as GBK", [&] { return ParseShopId("衣", error)->bytes(); }, "\xD2\xC2"},
        {"no GBK form", [&] { return ParseShopId("s1😀", error) ? "accepted" : error; },
         "--shop: the shop ID \"s1😀\" holds a character that the feed address cannot carry"},
        {"broken UTF-8 becomes ?", [&] { return ParseShopId("s1\xFF\xFE", error) ? "accepted" : "refused"; },
         "refused"},
        // 丂 is 81 40 in GBK, 乗 is 81 5C: its trail byte is a backslash in the address.
        {"GBK trail byte is a backslash", [&] { return ParseShopId("a乗", error) ? "accepted" : "refused"; },
         "refused"},
        {"GBK trail byte harmless", [&] { return ParseShopId("a丂", error) ? "accepted" : "refused"; }, "accepted"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.got(), c.want) << c.what;
}

} // namespace
} // namespace rankmoth::cli
