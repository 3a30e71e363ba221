#include "cli/query_options.h"

#include "rank/listing.h"

#include <array>
#include <charconv>

namespace rankmoth::cli {

namespace {

// The window's category labels; their path words come from the same table the window uses.
constexpr std::array<const char*, 6> kCategoryLabels = {"衣服", "鞋子", "包包", "配饰", "家居", "男友"};

std::string Quoted(const std::string& word) {
    return "\"" + word + "\"";
}

// The command line's words match without regard to ASCII case; the Chinese labels as they are.
bool SameWord(const std::string& typed, std::string_view known) {
    if (typed.size() != known.size())
        return false;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        char c = typed[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != known[i])
            return false;
    }
    return true;
}

std::string TrimBlanks(const std::string& s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t\r\n") - first + 1);
}

} // namespace

std::optional<CategoryChoice> ParseCategory(const std::string& word, std::string& error) {
    std::string known;
    for (const char* label : kCategoryLabels) {
        const Text gbk = Text::FromUtf8(label);
        const std::string slug = rank::CategorySlug(gbk).bytes();
        if (SameWord(word, slug) || word == label)
            return CategoryChoice{slug, gbk};
        known += (known.empty() ? "" : ", ") + slug + " (" + label + ")";
    }
    error = "--category: unknown category " + Quoted(word) + "; one of " + known;
    return std::nullopt;
}

std::optional<std::vector<SortPass>> ParseSorts(const std::string& word, std::string& error) {
    std::vector<SortPass> all;
    for (const base::SortEntry& entry : base::kSortTable) {
        const rank::SortChoice choice = rank::ChoiceOf(entry.sort);
        all.push_back({choice.key, choice.label});
    }
    if (SameWord(word, "all"))
        return all;
    for (const auto& pass : all) {
        if (SameWord(word, pass.key.bytes()))
            return std::vector<SortPass>{pass};
    }
    error = "--sort: unknown sort " + Quoted(word) + "; one of pop, hot30day, new, all";
    return std::nullopt;
}

std::optional<int> ParseBoundedInt(const std::string& word, int low, int high, const std::string& what,
                                   std::string& error) {
    int value = 0;
    const char* end = word.data() + word.size();
    const auto [rest, ec] = std::from_chars(word.data(), end, value);
    if (word.empty() || ec != std::errc() || rest != end || value < low || value > high) {
        error = what + ": " + Quoted(word) + " is not a whole number from " + std::to_string(low) + " to " +
                std::to_string(high);
        return std::nullopt;
    }
    return value;
}

std::optional<Text> ParseShopId(const std::string& word, std::string& error) {
    const std::string id = TrimBlanks(word);
    if (id.empty()) {
        error = "--shop: the shop ID " + Quoted(word) + " is blank";
        return std::nullopt;
    }
    // The feed address is made of the GBK bytes, so those are what is checked: a character without a GBK
    // form would arrive as "?", and a GBK trail byte can be a backslash.
    const Text gbk = Text::FromUtf8(id);
    if (gbk.ToUtf8() != id) {
        error = "--shop: the shop ID " + Quoted(word) + " holds a character that the feed address cannot carry";
        return std::nullopt;
    }
    // The ID becomes a path segment of the feed address; these would make it another address.
    for (const char c : gbk.bytes()) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F ||
            std::string_view(" /?#%\\").find(c) != std::string_view::npos) {
            error = "--shop: the shop ID " + Quoted(word) + " holds a character that cannot be part of one";
            return std::nullopt;
        }
    }
    return gbk;
}

std::optional<std::string> ParseMarketHost(const std::string& word, std::string& error) {
    std::string host = TrimBlanks(word);
    if (host.rfind("http://", 0) == 0)
        host.erase(0, 7);
    while (!host.empty() && host.back() == '/')
        host.pop_back();
    if (host.empty() || host.find_first_of("/?# ") != std::string::npos) {
        error = "--market-host: " + Quoted(word) + " is not host[:port]";
        return std::nullopt;
    }
    return host;
}

std::optional<std::string> ParseShopBase(const std::string& word, std::string& error) {
    std::string base = TrimBlanks(word);
    if (base.rfind("http://", 0) != 0 || base.size() <= 7 || base.find(' ') != std::string::npos) {
        error = "--shop-base: " + Quoted(word) + " is not http://host[:port]/";
        return std::nullopt;
    }
    if (base.back() != '/')
        base += '/';
    return base;
}

} // namespace rankmoth::cli
