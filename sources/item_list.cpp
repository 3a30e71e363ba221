#include "sources/item_list.h"

#include <algorithm>

namespace rankmoth::sources {

std::vector<ShopItem> ItemList::Snapshot() const {
    const std::size_t usable = std::min(ShopItemIds.size(), ShopItemTitles.size());
    const std::size_t count = ShopItemCount <= 0 ? 0 : std::min<std::size_t>(usable, ShopItemCount);
    std::vector<ShopItem> items;
    items.reserve(count);
    for (std::size_t k = 0; k < count; ++k)
        items.push_back({ShopItemIds[k], ShopItemTitles[k]});
    return items;
}

} // namespace rankmoth::sources
