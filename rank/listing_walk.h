#pragma once

#include "base/eventpump.h"
#include "base/pass_outcome.h"
#include "base/text.h"
#include "rank/listing_transport.h"
#include "rank/title_matcher.h"
#include "sources/item_list.h"
#include "web/answer.h"
#include "web/request_policy.h"
#include "web/web_env.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace rankmoth::rank {

// A listing page carries the book, total and first-token fragments; an empty answer, the time-out text or
// an error page lacks them. The last page of a listing carries them too.
bool IsListingPageComplete(const Text& page);
// A decoded slice carries the continuation token fragment, or says the listing ends there. A slice without
// any item of interest is still complete.
bool IsSliceComplete(const Text& slice);

// One hit of one item of the pass.
struct ItemHit {
    int itemNumber = 0; // 1-based, in the item list the slice was checked against
    Text itemId;
    Text title;
    int page = 0;
    int slice = 0; // 1..10
    base::Zone zone = base::Zone::None;
};

// What a walk reports while it runs, in the order it happens. Every call is made on the walking thread; the
// walk polls its stop request after each request and after each ItemChecked.
class ListingWalkObserver {
public:
    virtual ~ListingWalkObserver() = default;
    // Before the listing page's request.
    virtual void PageStarted(int /*page*/) {}
    virtual void PageFetched(int /*page*/, bool /*complete*/) {}
    virtual void SliceFetched(int /*page*/, int /*slice*/, bool /*complete*/) {}
    // A hit, reported before the ItemChecked of the same check.
    virtual void ItemFound(const ItemHit& /*hit*/) {}
    // One item looked for in one slice; `found` as ItemFound said.
    virtual void ItemChecked(int /*page*/, int /*slice*/, int /*itemNumber*/, const sources::ShopItem& /*item*/,
                             bool /*found*/) {}
    virtual void PassFinished(const base::PassOutcome& /*outcome*/) {}
    // The titles are searched for one by one, not in one scan, for `reason`: the hits are the same, only
    // slower. Said once per item list.
    virtual void TitlesSearchedOneByOne(const std::string& /*reason*/) {}
};

struct WalkOptions {
    std::string marketHost;
    web::RequestPolicy policy;
    // Polled after every request and every item check; null never stops.
    std::function<bool()> stopRequested;
    // Read at the end of every page, so that the limit can be changed during a walk; null keeps the
    // request's page limit.
    std::function<int()> pageLimit;
    // Read before every slice's item checks, so that a list reloaded during the walk is seen from the next
    // slice on; null checks the items handed to Run throughout.
    std::function<std::vector<sources::ShopItem>()> items;
    // Dispatches window events during the book's URL encoding; null when headless.
    base::EventPump* pump = nullptr;
    // Timestamps of the outcome; null takes the system clock.
    std::function<base::Clock::time_point()> now;
    // A listing page that failed has no token, book or total for its slices: asking for them anyway only
    // loads a server that is already refusing and counts their hits on the wrong page. The window keeps
    // asking: its requests and pacing are what its users know, and its status counts every slice.
    bool skipSlicesOfFailedPage = false;
};

// One pass over a category listing for one sort: listing pages from 1 up to the page limit or the listing's
// end, each with its ten slices, and every item looked for in every slice. The only code that builds listing
// requests and cuts their answers. Never waits except as its request policy says.
class ListingWalk {
public:
    ListingWalk(ListingTransport transport, WalkOptions options);

    // Walks request.category / request.sort from page 1. `observer` may be null.
    base::PassOutcome Run(const base::PassRequest& request, std::vector<sources::ShopItem> items,
                          ListingWalkObserver* observer = nullptr);

    // The item checks of one decoded slice, counted into the pass under way (or into a fresh tally outside
    // Run). False when a stop request was honoured after one of the checks.
    bool CheckSlice(const Text& sliceText, int page, int slice, const std::vector<sources::ShopItem>& items,
                    ListingWalkObserver& observer);

private:
    // One item's record in the outcome, and how many slices it was looked for in: an item that joined the
    // list during the walk missed the slices before it and cannot be reported as absent from them.
    struct Tally {
        base::ItemResult result;
        int slicesChecked = 0;
    };
    std::size_t TallyIndex(const sources::ShopItem& item);
    // Builds the matcher and the tally of each item when `items` is not the list the last slice was
    // checked against: a list reloaded during the walk is seen from the next slice on.
    void PrepareFor(const std::vector<sources::ShopItem>& items, ListingWalkObserver& report);
    static void Count(base::PassOutcome& outcome, const web::Answer& answer);
    base::Clock::time_point Now() const;
    bool StopRequested() const;

    ListingTransport transport_;
    WalkOptions options_;
    std::vector<Tally> tallies_;
    std::map<std::pair<Text, Text>, std::size_t> tallyIndex_;
    std::vector<sources::ShopItem> preparedItems_;
    std::vector<std::size_t> tallyOfItem_;
    std::unique_ptr<TitleMatcher> matcher_;
    std::vector<std::uint8_t> found_;
};

} // namespace rankmoth::rank
