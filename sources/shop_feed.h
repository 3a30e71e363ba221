#pragma once

#include "base/controls.h"
#include "base/eventpump.h"
#include "base/text.h"
#include "sources/feed_load.h"
#include "sources/item_list.h"
#include "web/web_env.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace rankmoth::sources {

// The click action of 按钮_自动加载全店宝贝ID: loads every item of the shop typed into 编辑框_优店ID.
class ShopFeedLoader {
public:
    ShopFeedLoader(base::Controls& controls, base::EventPump& pump, ItemList& items, std::string shopBase,
                   FeedFetch fetch, FeedLimits limits = {});

    void Run();
    bool loading() const { return depth_ > 0; }

    // Told of every load that ran to its end (a superseded load is not); the items are those now listed.
    std::function<void(const FeedOutcome&)> loadFinished;
    // The pause after every scan step and every pack, which keeps the window responsive during a load.
    std::chrono::milliseconds pause{100};

private:
    void Pause();

    base::Controls& controls_;
    base::EventPump& pump_;
    ItemList& items_;
    std::string shopBase_;
    FeedFetch fetch_;
    FeedLimits limits_;
    // A click while a load is pumping starts a new load, which supersedes the running one: the older load
    // stops at its next pause and leaves the lists, the count and the texts to the newer one.
    int generation_ = 0;
    int depth_ = 0;
};

} // namespace rankmoth::sources
