#pragma once

#include "base/pass_outcome.h"
#include "sources/item_list.h"

#include <string>
#include <vector>

namespace rankmoth::rank {

// A watch walks each listing once for every shop it follows: the items of all the shops go into one walk,
// and the walk's outcome is then cut into one pass per shop, as if each shop had walked the listing alone.

struct ShopItems {
    Text shop;
    std::vector<sources::ShopItem> items;
};

// Every shop's items, one after another, as the walk checks them; an item two shops list is checked once.
std::vector<sources::ShopItem> AllItemsOf(const std::vector<ShopItems>& shops);

// The pass of `shop` within `walk`: the walk's pages, requests and failures, and the results of the shop's
// own items in the shop's order. An item the walk has no result for (it was never checked) is incomplete.
base::PassOutcome PassOfShop(const base::PassOutcome& walk, const ShopItems& shop, const std::string& walkId);

} // namespace rankmoth::rank
