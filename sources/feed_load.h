#pragma once

#include "base/request_failure.h"
#include "base/text.h"
#include "sources/feed_fetch.h"
#include "sources/item_list.h"
#include "web/answer.h"
#include "web/request_policy.h"
#include "web/web_env.h"

#include <chrono>
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
// A decoded pack answered as a feed does: it holds an item link or the end marker. An empty answer, the
// time-out text or an error page does not.
bool IsFeedPack(const Text& page, const std::string& shopBase);

// Limits of one load, so that an unreachable, repeating or endless feed cannot keep the loader going for ever.
struct FeedLimits {
    int maxPacks = 500;
    int maxBarrenPacksInARow = 3; // packs that add no new item: failed, timed out, empty or only repeats
};

// What one load found.
struct FeedOutcome {
    Text shopId;
    std::vector<ShopItem> items; // each item ID once, in the order of its first link
    int packs = 0;               // packs requested
    int requests = 0;            // the same; retries are not counted
    int failedRequests = 0;      // packs still failed after their retries
    base::FailureTally failures; // those failures by kind
    bool reachedEnd = false;     // a pack carried the end marker
    bool stopped = false;
    // The load ended at one of its limits before the end marker, so the shop may hold more items than
    // these; `incompleteReason` says which limit, in a short English phrase. Not set for a stopped load.
    bool incomplete = false;
    std::string incompleteReason;
};

// What a load reports while it runs. The load polls its stop request after each request, each ScanStep and
// each PackDone.
class FeedLoadObserver {
public:
    virtual ~FeedLoadObserver() = default;
    virtual void PackFetched(int /*pack*/, bool /*complete*/) {}
    // One step of the item scan; `added` when it gave an item not seen before in this load, which is then
    // item number `found`.
    virtual void ScanStep(const FeedScanStep& /*step*/, bool /*added*/, int /*found*/) {}
    // After the scan of pack `pack`.
    virtual void PackDone(int /*pack*/) {}
    virtual void LoadFinished(const FeedOutcome& /*outcome*/) {}
};

struct FeedLoadOptions {
    std::string shopBase;
    FeedLimits limits;
    web::RequestPolicy policy;
    std::function<bool()> stopRequested; // null never stops
};

// The shop's items, pack by pack, until the feed's end marker or the limits. The only code that builds feed
// requests and cuts feed pages. Never waits except as its request policy says.
class FeedLoad {
public:
    FeedLoad(FeedFetch fetch, FeedLoadOptions options);

    // `shopId` as it goes into the address (already trimmed). `observer` may be null.
    FeedOutcome Run(const Text& shopId, FeedLoadObserver* observer = nullptr);

private:
    FeedFetch fetch_;
    FeedLoadOptions options_;
};

} // namespace rankmoth::sources
