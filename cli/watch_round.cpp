#include "cli/watch_round.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace rankmoth::cli {

namespace {

// FNV-1a: stable across builds and machines, which std::hash is not.
std::uint64_t Fnv1a(const std::string& text) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

} // namespace

std::string WatchDigest(const Watch& watch) {
    std::vector<std::string> shops, walks;
    for (const WatchShop& shop : watch.shops)
        shops.push_back(shop.id.bytes());
    for (const WatchWalk& walk : watch.walks)
        for (const SortPass& sort : walk.sorts)
            walks.push_back(walk.category.slug + "\n" + sort.key.bytes() + "\n" + std::to_string(walk.pageLimit));
    std::sort(shops.begin(), shops.end());
    std::sort(walks.begin(), walks.end());
    // Lengths before each part, so that no two lists run together into the same text.
    std::string canonical;
    for (const auto* list : {&shops, &walks}) {
        canonical += std::to_string(list->size()) + ";";
        for (const std::string& part : *list)
            canonical += std::to_string(part.size()) + ":" + part + ";";
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(Fnv1a(canonical)));
    return hex;
}

Round RoundOf(const Watch& watch, std::time_t now) {
    const std::time_t span = std::max<std::time_t>(60, watch.every.count() * 60);
    const std::time_t number = now / span;
    return {WatchDigest(watch) + "-" + std::to_string(number), number * span, (number + 1) * span};
}

} // namespace rankmoth::cli
