// The command line's words: typos answered with what was meant, and a shop ID checked as the bytes sent.
#include "cli/command_line.h"
#include "cli/query_options.h"

#include <gtest/gtest.h>

namespace rankmoth::cli {
namespace {

TEST(CommandLineTest, TyposAreAnsweredWithWhatWasMeant) {
    const std::vector<OptionWord> global = {{"--help", false, false}, {"--market-host", true, false}};
    const std::vector<CommandWords> commands = {
        {"items", {{"--shop", true, true}}},
        {"query", {{"--shop", true, true}, {"--pages", true, true}, {"--category", true, true}}},
        {"history", {{"--shop", true, true}}},
    };
    const struct {
        std::vector<std::string> args;
        std::string want; // "" when the words are fine
    } cases[] = {
        {{"histroy"}, "unknown command \"histroy\"; did you mean \"history\"?"},
        {{"Query"}, "unknown command \"Query\"; did you mean \"query\"?"},
        {{"frobnicate"}, "unknown command \"frobnicate\"; the commands are items, query, history"},
        {{"--market-host", "h:1"}, "a command is required: items, query, history"},
        {{"query", "--cat", "shoes"}, "unknown option \"--cat\" for query; did you mean \"--category\"?"},
        {{"query", "--market-hots=h"}, "unknown option \"--market-hots\" for query; did you mean \"--market-host\"?"},
        {{"items", "--pages", "3"}, "unknown option \"--pages\" for items"},
        {{"query", "--shop", "a", "--shop=b"}, "--shop is given twice; it takes one value"},
        {{"--market-host", "a", "query", "--market-host", "b"}, ""}, // the hosts may be overridden
        {{"qeury", "--help"}, ""},                                   // help is the parser's to give
        {{"query", "--shop", "衣服\xE8"}, "argument 3 is not valid UTF-8: \"衣服\\xE8\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CheckCommandLine(c.args, global, commands), c.want) << c.args.front();
}

TEST(CommandLineTest, ShopIdsAreCheckedAsTheGbkBytesSent) {
    const struct {
        const char* id;
        const char* gbk; // null: refused
    } cases[] = {
        {" demo ", "demo"}, {"衣", "\xD2\xC2"}, {"a丂", "a\x81\x40"}, // a trail byte that is "@" does no harm in a path
        {"a乗", nullptr},                                             // 81 5C: a trail byte that is a backslash
        {"s1😀", nullptr},                                             // no GBK form: it would be sent as "?"
    };
    for (const auto& c : cases) {
        std::string error;
        const auto id = ParseShopId(c.id, error);
        ASSERT_EQ(id.has_value(), c.gbk != nullptr) << c.id << ": " << error;
        if (id) {
            EXPECT_EQ(id->bytes(), c.gbk) << c.id;
        }
    }
}

} // namespace
} // namespace rankmoth::cli
