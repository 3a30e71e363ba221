#include "cli/cli_context.h"
#include "cli/query_plan.h"
#include "cli/query_run.h"

#include <CLI/CLI.hpp>

#include <memory>

namespace rankmoth::cli {

namespace {

struct QueryWords {
    std::string shop;
    std::string category = "clothing";
    std::string sort = "pop";
    std::string pages = "10";
    std::string format = "table";
    std::string delay = "200";
    std::string retries = "2";
};

// Every value is taken as a word and checked here, so that each refusal is one line naming the flag.
std::optional<QueryPlan> CheckQuery(const QueryWords& words, std::string& error) {
    QueryPlan plan;
    const auto shop = ParseShopId(words.shop, error);
    if (!shop)
        return std::nullopt;
    plan.shop = *shop;
    const auto category = ParseCategory(words.category, error);
    if (!category)
        return std::nullopt;
    plan.category = *category;
    const auto sorts = ParseSorts(words.sort, error);
    if (!sorts)
        return std::nullopt;
    plan.sorts = *sorts;
    const auto pages = ParseBoundedInt(words.pages, 1, 100, "--pages", error);
    if (!pages)
        return std::nullopt;
    plan.pageLimit = *pages;
    const auto format = ParseFormat(words.format, error);
    if (!format)
        return std::nullopt;
    plan.format = *format;
    const auto delay = ParseBoundedInt(words.delay, 0, 600000, "--delay", error);
    if (!delay)
        return std::nullopt;
    plan.delay = std::chrono::milliseconds(*delay);
    const auto retries = ParseBoundedInt(words.retries, 0, 10, "--retries", error);
    if (!retries)
        return std::nullopt;
    plan.retries = *retries;
    return plan;
}

} // namespace

SubcommandRunner AddQueryCommand(CLI::App& program, CliContext& context) {
    auto words = std::make_shared<QueryWords>();
    CLI::App* command = program.add_subcommand(
        "query", "Load a shop's items, walk the category listing for each sort and print where each item stands.");
    command->add_option("--shop", words->shop, "the shop ID (as in the shop's address)")->required()->type_name("ID");
    command
        ->add_option("--category", words->category,
                     "clothing|shoes|bags|accessories|home|boyfriend in any letter case, or 衣服 鞋子 包包 配饰 家居 "
                     "男友 (default "
                     "clothing)")
        ->type_name("NAME");
    command->add_option("--sort", words->sort, "pop (潮流), hot30day (最热), new (最新) or all three (default pop)")
        ->type_name("SORT");
    command->add_option("--pages", words->pages, "listing pages to walk per sort, 1..100 (default 10)")->type_name("N");
    command
        ->add_option("--format", words->format,
                     "table, csv, json (one array) or jsonl (one pass a line) (default table); times in local time")
        ->type_name("FORMAT");
    command->add_option("--delay", words->delay, "gap between requests in milliseconds, 0 allowed (default 200)")
        ->type_name("MS");
    command->add_option("--retries", words->retries, "retries of a failed request, after 1 s then 3 s (default 2)")
        ->type_name("N");
    AddRecordingOptions(*command, context);
    return [words, &context] {
        std::string error;
        const auto plan = CheckQuery(*words, error);
        if (!plan) {
            ReportError(error);
            return static_cast<int>(kExitUsage);
        }
        return RunQuery(*plan, context);
    };
}

SubcommandRunner AddItemsCommand(CLI::App& program, CliContext& context) {
    auto shop = std::make_shared<std::string>();
    auto format = std::make_shared<std::string>("table");
    auto retries = std::make_shared<std::string>("2");
    CLI::App* command =
        program.add_subcommand("items", "Load a shop's items from its feed and print their IDs and titles.");
    command->add_option("--shop", *shop, "the shop ID (as in the shop's address)")->required()->type_name("ID");
    command->add_option("--format", *format, "table, csv, json or jsonl (one item a line) (default table)")
        ->type_name("FORMAT");
    command->add_option("--retries", *retries, "retries of a failed request, after 1 s then 3 s (default 2)")
        ->type_name("N");
    return [shop, format, retries, &context] {
        std::string error;
        const auto id = ParseShopId(*shop, error);
        const auto outputFormat = id ? ParseFormat(*format, error) : std::nullopt;
        const auto retryCount = outputFormat ? ParseBoundedInt(*retries, 0, 10, "--retries", error) : std::nullopt;
        if (!retryCount) {
            ReportError(error);
            return static_cast<int>(kExitUsage);
        }
        return RunItems(*id, *outputFormat, *retryCount, context);
    };
}

} // namespace rankmoth::cli
