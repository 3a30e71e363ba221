#include "cli/watch_file.h"

#include "cli/schedule_plan.h"
#include "history/history_store.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace rankmoth::cli {

namespace {

// A refusal on its way out of the checks below; the reader turns it into the one line the user sees.
struct Refusal {
    std::size_t line = 0;
    std::string key;
    std::string reason;
};

[[noreturn]] void Refuse(const toml::node& node, std::string key, std::string reason) {
    throw Refusal{node.source().begin.line, std::move(key), std::move(reason)};
}

// The query options' reasons start with the flag they check; here the key is named instead.
std::string WithoutFlag(const std::string& reason) {
    const auto colon = reason.find(": ");
    return reason.rfind("--", 0) == 0 && colon != std::string::npos ? reason.substr(colon + 2) : reason;
}

std::string TypeName(const toml::node& node) {
    switch (node.type()) {
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "a whole number";
    case toml::node_type::floating_point: return "a number with a fraction";
    case toml::node_type::boolean: return "true or false";
    case toml::node_type::array: return "a list";
    case toml::node_type::table: return "a table";
    default: return "a date or time";
    }
}

class TableReader {
public:
    TableReader(const toml::table& table, std::string prefix) : table_(table), prefix_(std::move(prefix)) {}

    // Every key must be one of `known`: a misspelt key would otherwise be a setting silently not applied.
    void AllowOnly(std::initializer_list<std::string_view> known) const {
        for (const auto& [key, value] : table_) {
            if (std::find(known.begin(), known.end(), key.str()) == known.end())
                Refuse(value, prefix_ + std::string(key.str()), "is not a key of the watch file here");
        }
    }
    const toml::node* Find(std::string_view key) const { return table_.get(key); }
    std::string Key(std::string_view key) const { return prefix_ + std::string(key); }

    std::optional<std::string> String(std::string_view key, bool required) const {
        const toml::node* node = Find(key);
        if (!node) {
            if (required)
                throw Refusal{table_.source().begin.line, Key(key), "is missing"};
            return std::nullopt;
        }
        if (!node->is_string())
            Refuse(*node, Key(key), "is " + TypeName(*node) + ", not a string");
        return std::string(node->as_string()->get());
    }
    std::optional<int> Integer(std::string_view key, int low, int high) const {
        const toml::node* node = Find(key);
        if (!node)
            return std::nullopt;
        const auto* value = node->as_integer();
        if (!value || value->get() < low || value->get() > high) {
            const std::string shown = value ? std::to_string(value->get()) : TypeName(*node);
            Refuse(*node, Key(key),
                   shown + " is not a whole number from " + std::to_string(low) + " to " + std::to_string(high));
        }
        return static_cast<int>(value->get());
    }

private:
    const toml::table& table_;
    std::string prefix_;
};

const toml::array& TablesOf(const toml::table& root, std::string_view key) {
    const toml::node* node = root.get(key);
    if (!node || (node->is_array() && node->as_array()->empty()))
        throw Refusal{node ? node->source().begin.line : 1, std::string(key),
                      "lists nothing; the watch needs at least one [[" + std::string(key) + "]]"};
    if (!node->is_array_of_tables())
        Refuse(*node, std::string(key), "must be written as [[" + std::string(key) + "]] tables");
    return *node->as_array();
}

WatchShop ReadShop(const toml::table& table, std::set<std::string>& seen) {
    const TableReader reader(table, "shop.");
    reader.AllowOnly({"id", "role", "name"});
    const std::string word = *reader.String("id", true);
    std::string error;
    const auto id = ParseShopId(word, error);
    if (!id)
        Refuse(*reader.Find("id"), reader.Key("id"), WithoutFlag(error));
    if (!seen.insert(id->bytes()).second)
        Refuse(*reader.Find("id"), reader.Key("id"), "shop \"" + id->ToUtf8() + "\" is listed twice");
    WatchShop shop{*id, ShopRole::Own, reader.String("name", false).value_or("")};
    if (const auto role = reader.String("role", false)) {
        if (*role == "competitor")
            shop.role = ShopRole::Competitor;
        else if (*role != "own")
            Refuse(*reader.Find("role"), reader.Key("role"), "\"" + *role + "\" is not own or competitor");
    }
    return shop;
}

std::vector<SortPass> ReadSorts(const TableReader& reader) {
    const toml::node* node = reader.Find("sorts");
    std::string error;
    if (!node)
        return *ParseSorts("pop", error);
    if (node->is_string()) {
        const auto sorts = ParseSorts(std::string(node->as_string()->get()), error);
        if (!sorts)
            Refuse(*node, reader.Key("sorts"), WithoutFlag(error));
        return *sorts;
    }
    if (!node->is_array() || node->as_array()->empty())
        Refuse(*node, reader.Key("sorts"), "must be a list of sorts, such as [\"pop\", \"new\"], or \"all\"");
    std::vector<SortPass> sorts;
    for (const toml::node& element : *node->as_array()) {
        const auto* word = element.as_string();
        const auto one = word ? ParseSorts(std::string(word->get()), error) : std::nullopt;
        if (!word || !one || one->size() != 1)
            Refuse(element, reader.Key("sorts"),
                   word ? (one ? "\"all\" cannot stand in a list" : WithoutFlag(error)) : "holds " + TypeName(element));
        for (const SortPass& known : sorts) {
            if (known.key == one->front().key)
                Refuse(element, reader.Key("sorts"), "\"" + known.key.bytes() + "\" is listed twice");
        }
        sorts.push_back(one->front());
    }
    return sorts;
}

WatchWalk ReadWalk(const toml::table& table, std::set<std::string>& seen) {
    const TableReader reader(table, "walk.");
    reader.AllowOnly({"category", "sorts", "pages"});
    const std::string word = *reader.String("category", true);
    std::string error;
    const auto category = ParseCategory(word, error);
    if (!category)
        Refuse(*reader.Find("category"), reader.Key("category"), WithoutFlag(error));
    WatchWalk walk{*category, ReadSorts(reader), reader.Integer("pages", 1, 100).value_or(10)};
    for (const SortPass& sort : walk.sorts) {
        // The same listing walked twice in one run only doubles the requests.
        if (!seen.insert(category->slug + "/" + sort.key.bytes()).second)
            Refuse(table, reader.Key("sorts"),
                   category->slug + " sorted by " + sort.key.bytes() + " is walked by an earlier [[walk]]");
    }
    return walk;
}

std::optional<bool> Flag(const TableReader& reader, std::string_view key) {
    const toml::node* node = reader.Find(key);
    if (!node)
        return std::nullopt;
    if (!node->is_boolean())
        Refuse(*node, reader.Key(key), "is " + TypeName(*node) + ", not true or false");
    return node->as_boolean()->get();
}

// "22:00-07:00" as minutes after midnight.
bool ParseQuietHours(const std::string& text, int& from, int& until) {
    int h1 = 0, m1 = 0, h2 = 0, m2 = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%2d:%2d-%2d:%2d%c", &h1, &m1, &h2, &m2, &tail) != 4 || text.size() != 11)
        return false;
    if (h1 > 23 || h2 > 23 || m1 > 59 || m2 > 59 || h1 < 0 || h2 < 0 || m1 < 0 || m2 < 0)
        return false;
    from = h1 * 60 + m1;
    until = h2 * 60 + m2;
    return true;
}

WatchAlerts ReadAlerts(const toml::node& node) {
    if (!node.is_table())
        Refuse(node, "alerts", "must be an [alerts] table");
    const TableReader reader(*node.as_table(), "alerts.");
    reader.AllowOnly({"page_moves", "competitors", "desktop", "webhook", "quiet_hours"});
    WatchAlerts alerts;
    alerts.pageMoves = reader.Integer("page_moves", 1, 99).value_or(alerts.pageMoves);
    alerts.competitors = Flag(reader, "competitors").value_or(false);
    alerts.desktop = Flag(reader, "desktop").value_or(false);
    if (const auto webhook = reader.String("webhook", false)) {
        if (webhook->rfind("http://", 0) != 0 && webhook->rfind("https://", 0) != 0)
            Refuse(*reader.Find("webhook"), reader.Key("webhook"), "\"" + *webhook + "\" is not an http:// or https:// address");
        alerts.webhook = *webhook;
    }
    if (const auto quiet = reader.String("quiet_hours", false)) {
        if (!ParseQuietHours(*quiet, alerts.quietFrom, alerts.quietUntil))
            Refuse(*reader.Find("quiet_hours"), reader.Key("quiet_hours"), "\"" + *quiet + "\" is not HH:MM-HH:MM");
    }
    return alerts;
}

} // namespace

std::optional<Watch> ParseWatch(std::string_view text, const std::string& file, std::string& error) {
    try {
        const toml::table root = toml::parse(text, file);
        const TableReader top(root, "");
        top.AllowOnly({"shop", "walk", "run", "alerts", "history"});
        Watch watch;
        watch.file = file;
        std::set<std::string> shopIds, listings;
        for (const toml::node& shop : TablesOf(root, "shop"))
            watch.shops.push_back(ReadShop(*shop.as_table(), shopIds));
        for (const toml::node& walk : TablesOf(root, "walk"))
            watch.walks.push_back(ReadWalk(*walk.as_table(), listings));
        if (const toml::node* node = root.get("run")) {
            if (!node->is_table())
                Refuse(*node, "run", "must be a [run] table");
            const TableReader run(*node->as_table(), "run.");
            run.AllowOnly({"delay_ms", "retries", "max_minutes", "every"});
            watch.delay = std::chrono::milliseconds(run.Integer("delay_ms", 0, 600000).value_or(200));
            watch.retries = run.Integer("retries", 0, 10).value_or(2);
            watch.maxMinutes = run.Integer("max_minutes", 1, 24 * 60).value_or(0);
            if (const auto every = run.String("every", false)) {
                std::string why;
                const auto span = ParseEvery(*every, why);
                if (!span)
                    Refuse(*run.Find("every"), run.Key("every"), why.substr(why.rfind("--every ", 0) == 0 ? 8 : 0));
                watch.every = *span;
            }
        }
        if (const toml::node* node = root.get("alerts"))
            watch.alerts = ReadAlerts(*node);
        if (const toml::node* node = root.get("history")) {
            if (!node->is_table())
                Refuse(*node, "history", "must be a [history] table");
            const TableReader history(*node->as_table(), "history.");
            history.AllowOnly({"url"});
            if (const auto url = history.String("url", false)) {
                if (!history::IsDatabaseUrl(*url))
                    Refuse(*history.Find("url"), history.Key("url"),
                           "\"" + history::MaskedLocation(*url) + "\" is not a postgresql:// or postgres:// address");
                watch.historyUrl = *url;
            }
        }
        return watch;
    } catch (const toml::parse_error& e) {
        error = file + ":" + std::to_string(e.source().begin.line) + ": " + std::string(e.description());
    } catch (const Refusal& r) {
        error = file + ":" + std::to_string(r.line) + ": " + r.key + ": " + r.reason;
    }
    return std::nullopt;
}

std::optional<Watch> ReadWatch(const std::string& file, std::string& error) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = file + ": cannot be read (" + std::strerror(errno) +
                "); write one as the rankmoth-cli(1) manual shows, or name another with --watch";
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParseWatch(text.str(), file, error);
}

std::string DefaultWatchFile(const base::FileLocations& locations) {
    return locations.configDir + "/watch.toml";
}

} // namespace rankmoth::cli
