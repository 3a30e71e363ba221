#pragma once

#include "base/text.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace rankmoth::cli {

// The command line's words for the listing, checked and turned into what the engine takes. Each parse
// returns an empty optional and sets `error` to a one-line reason that names the bad value.

struct CategoryChoice {
    std::string slug; // the listing's path word
    Text label;       // the window's combo-box label for it, GBK
};
// A path word ("shoes", in any ASCII letter case) or the window's label ("鞋子", UTF-8).
std::optional<CategoryChoice> ParseCategory(const std::string& word, std::string& error);

struct SortPass {
    Text key;   // "pop", "hot30day", "new"
    Text label; // "潮流", "最热", "最新"
};
// "pop", "hot30day", "new", or "all" for the three of them in that order; any ASCII letter case.
std::optional<std::vector<SortPass>> ParseSorts(const std::string& word, std::string& error);

// A whole decimal number within [low, high]; `what` names the flag in the reason.
std::optional<int> ParseBoundedInt(const std::string& word, int low, int high, const std::string& what,
                                   std::string& error);

// The shop ID with blanks trimmed, as the GBK bytes the feed address is made of; refused when nothing is left,
// when a character has no GBK form, or when a byte would change the feed address it goes into.
std::optional<Text> ParseShopId(const std::string& word, std::string& error);

// "host[:port]", also accepted with a leading "http://" and a trailing "/".
std::optional<std::string> ParseMarketHost(const std::string& word, std::string& error);
// "http://host[:port]/", the trailing slash added when missing.
std::optional<std::string> ParseShopBase(const std::string& word, std::string& error);

} // namespace rankmoth::cli
