#pragma once

// The passes the history tests record, the store's and the page's: in the clothing listing, of shop 8001
// unless told.
#include "base/pass_outcome.h"

#include <chrono>
#include <vector>

namespace rankmoth::testing {

inline base::ItemResult Found(const char* id, int page, int slice, const char* title = "") {
    base::ItemResult item;
    item.itemId = Text(id);
    item.title = Text::FromUtf8(title);
    item.state = base::ItemState::Found;
    item.page = page;
    item.slice = slice;
    item.hits = 1;
    return item;
}

inline base::ItemResult Missing(const char* id, base::ItemState state = base::ItemState::NotFound) {
    base::ItemResult item;
    item.itemId = Text(id);
    item.state = state;
    return item;
}

// Started `minute` minutes into 2025-12-01 (UTC); with a walk ID, a pass a watch cut from one walk.
inline base::PassOutcome Pass(const char* sort, int minute, std::vector<base::ItemResult> items,
                              const char* shop = "8001", const char* walk = "") {
    base::PassOutcome pass;
    pass.request.shop = Text(shop);
    pass.request.category = "clothing";
    pass.request.sort = sort;
    pass.request.pageLimit = 10;
    pass.started = base::Clock::from_time_t(1764547200) + std::chrono::minutes(minute);
    pass.finished = pass.started + std::chrono::minutes(2);
    pass.pagesWalked = 10;
    pass.requests = 40;
    pass.items = std::move(items);
    pass.walkId = walk;
    return pass;
}

} // namespace rankmoth::testing
