#include "rank/watch_walk.h"

#include <map>
#include <set>

namespace rankmoth::rank {

std::vector<sources::ShopItem> AllItemsOf(const std::vector<ShopItems>& shops) {
    std::vector<sources::ShopItem> all;
    std::set<std::pair<Text, Text>> seen;
    for (const ShopItems& shop : shops) {
        for (const sources::ShopItem& item : shop.items) {
            if (seen.insert({item.id, item.title}).second)
                all.push_back(item);
        }
    }
    return all;
}

base::PassOutcome PassOfShop(const base::PassOutcome& walk, const ShopItems& shop, const std::string& walkId) {
    // Results are found by item and title, not by position: two shops may list the same item, and the walk
    // keeps one result for both.
    std::map<std::pair<Text, Text>, const base::ItemResult*> results;
    for (const base::ItemResult& result : walk.items)
        results.try_emplace({result.itemId, result.title}, &result);
    base::PassOutcome pass = walk;
    pass.request.shop = shop.shop;
    pass.walkId = walkId;
    pass.items.clear();
    pass.items.reserve(shop.items.size());
    for (const sources::ShopItem& item : shop.items) {
        const auto it = results.find({item.id, item.title});
        pass.items.push_back(it != results.end() ? *it->second : base::ItemResult{item.id, item.title});
    }
    return pass;
}

} // namespace rankmoth::rank
