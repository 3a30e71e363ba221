#pragma once

#include "base/controls.h"
#include "base/eventpump.h"
#include "sources/item_list.h"
#include "base/text.h"
#include "web/web_env.h"

#include <functional>
#include <string>
#include <vector>

namespace rankmoth::sources {

// The feed request of one pack of a shop.
Text FeedAddress(const std::string& shopBase, const Text& shopId);
Bytes FeedBody(int pack);
Text FeedRefererHeader(const std::string& shopBase, const Text& shopId);

// One step of the item scan of a decoded feed page: the ID and title cut for one item link. Either may be
// empty (a link without its title block, or an ID cut short); such a step adds no item.
struct FeedScanStep {
    Text id;
    Text title;
};
// One step per item link on the page, in page order; a page without item links still gives one empty step
// (the scan always pauses once per page).
std::vector<FeedScanStep> ScanFeedPage(const Text& page, const std::string& shopBase);
// The page holds the end marker of the feed.
bool IsFeedEnd(const Text& page);

// Requests one pack: POST of `body` to `url` with the Referer line in `extraHeaders`; the answer converted
// from UTF-8 to GBK, the time-out text on time-out, empty when the request could not be made.
using FeedFetch = std::function<Bytes(Text& url, const Text& extraHeaders, const Bytes& body)>;
// The production fetch: web::TimedFetch with its default time-out.
FeedFetch TimedFeedFetch(web::WebEnv env);

// Limits of one load, so that an unreachable or endless feed cannot keep the loader going for ever.
struct FeedLimits {
    int maxPacks = 500;
    int maxBarrenPacksInARow = 3; // packs that add no item: failed, timed out or empty
};

// The click action of 按钮_自动加载全店宝贝ID: loads every item of the shop typed into 编辑框_优店ID.
class ShopFeedLoader {
public:
    ShopFeedLoader(base::Controls& controls, base::EventPump& pump, ItemList& items, std::string shopBase,
                   FeedFetch fetch, FeedLimits limits = {});

    void Run();
    bool loading() const { return depth_ > 0; }

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
