#pragma once

#include "base/text.h"

#include <vector>

namespace rankmoth::sources {

struct ShopItem {
    Text id;
    Text title;
};

// The items of the loaded shop. One per process, owned by the composition root; the shop loader is its only
// writer. The two lists grow as a pair while a load runs, and `ShopItemCount` is written only when a load
// ends, so during a load the count may describe the previous load.
struct ItemList {
    std::vector<Text> ShopItemIds;
    std::vector<Text> ShopItemTitles;
    int ShopItemCount = 0;
    // The shop ID the lists are being (or were last) loaded from; empty when they came from elsewhere.
    Text shopId;

    // The items a pass may look at: the first `ShopItemCount` pairs, bounded by what the lists hold right now.
    // A pass works on this copy, so a reload running inside its waits can neither shrink the lists under it
    // nor make it read past their ends.
    std::vector<ShopItem> Snapshot() const;
};

} // namespace rankmoth::sources
