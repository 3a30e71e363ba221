#include "rank/listing_walk.h"

#include "rank/item_location.h"
#include "rank/listing.h"
#include "web/codecs.h"

#include <algorithm>

namespace rankmoth::rank {

namespace {

// Both markers of a cut are there, whether or not anything stands between them.
bool HasCut(const Text& text, const Text& left, const Text& right) {
    return !web::TextBetween(text, left, right).empty() || Contains(text, left + right, false);
}

} // namespace

bool IsListingPageComplete(const Text& page) {
    return HasCut(page, Text("book:\""), Text("\",lastTweetId")) &&
           HasCut(page, Text("totalCnt:\""), Text("\",action:")) &&
           HasCut(page, Text("lastTweetId:\""), Text("\",totalCnt"));
}

namespace {

// A whole answer that is not what was asked for is a failure of its own kind.
web::Answer Judged(web::Answer answer, bool usable, const char* what) {
    if (answer.ok && !usable) {
        answer.ok = false;
        answer.failure = base::FailureKind::NotAnswer;
        answer.reason = std::string("the answer is not ") + what;
    }
    return answer;
}

} // namespace

bool IsSliceComplete(const Text& slice) {
    return HasCut(slice, Text("lastTweetId\":\""), Text("\"},\"html")) || IsListingEnd(slice);
}

ListingWalk::ListingWalk(ListingTransport transport, WalkOptions options)
    : transport_(std::move(transport)), options_(std::move(options)) {}

void ListingWalk::Count(base::PassOutcome& outcome, const web::Answer& answer) {
    // A transfer the stop aborted is not the server's failure: the pass says it was stopped instead.
    if (answer.ok || answer.failure == base::FailureKind::Stopped)
        return;
    ++outcome.failedRequests;
    outcome.failures.Add(answer.failure, answer.reason);
}

base::Clock::time_point ListingWalk::Now() const {
    return options_.now ? options_.now() : base::Clock::now();
}

bool ListingWalk::StopRequested() const {
    return options_.stopRequested && options_.stopRequested();
}

std::size_t ListingWalk::TallyIndex(const sources::ShopItem& item) {
    const auto [it, added] = tallyIndex_.try_emplace({item.id, item.title}, tallies_.size());
    if (added)
        tallies_.push_back({base::ItemResult{item.id, item.title}, 0});
    return it->second;
}

void ListingWalk::PrepareFor(const std::vector<sources::ShopItem>& items, ListingWalkObserver& report) {
    const bool same = matcher_ && items.size() == preparedItems_.size() &&
                      std::equal(items.begin(), items.end(), preparedItems_.begin(),
                                 [](const sources::ShopItem& a, const sources::ShopItem& b) {
                                     return a.id == b.id && a.title == b.title;
                                 });
    if (same)
        return;
    preparedItems_ = items;
    tallyOfItem_.clear();
    std::vector<Text> titles;
    titles.reserve(items.size());
    for (const sources::ShopItem& item : items) {
        tallyOfItem_.push_back(TallyIndex(item));
        titles.push_back(item.title);
    }
    matcher_ = std::make_unique<TitleMatcher>(titles);
    if (!matcher_->searchedOneByOne().empty())
        report.TitlesSearchedOneByOne(matcher_->searchedOneByOne());
}

bool ListingWalk::CheckSlice(const Text& sliceText, int page, int slice, const std::vector<sources::ShopItem>& items,
                             ListingWalkObserver& report) {
    PrepareFor(items, report);
    const GbkHaystack haystack(sliceText);
    matcher_->Match(haystack, found_);
    for (std::size_t k = 0; k < items.size(); ++k) {
        const sources::ShopItem& item = items[k];
        const int number = static_cast<int>(k) + 1;
        Tally& tally = tallies_[tallyOfItem_[k]];
        ++tally.slicesChecked;
        const bool found = found_[k] != 0;
        if (found) {
            base::ItemResult& r = tally.result;
            if (r.hits++ == 0) {
                r.state = base::ItemState::Found;
                r.page = page;
                r.slice = slice;
                r.checkedAt = Now();
            }
            report.ItemFound({number, item.id, item.title, page, slice, base::ZoneOfSlice(slice)});
        }
        report.ItemChecked(page, slice, number, item, found);
        if (StopRequested())
            return false;
    }
    return true;
}

base::PassOutcome ListingWalk::Run(const base::PassRequest& request, std::vector<sources::ShopItem> items,
                                   ListingWalkObserver* observer) {
    const auto stopped = [this] { return StopRequested(); };
    ListingWalkObserver quiet;
    ListingWalkObserver& report = observer ? *observer : quiet;
    web::RequestPacer pacer(options_.policy);

    base::PassOutcome outcome;
    outcome.request = request;
    outcome.started = Now();
    tallies_.clear();
    tallyIndex_.clear();
    matcher_.reset();
    for (const sources::ShopItem& item : items)
        TallyIndex(item);
    int slicesRead = 0;

    const Text slug(request.category);
    const Text sortKey(request.sort);
    for (int page = 1; !outcome.stopped; ++page) {
        report.PageStarted(page);
        const Text pageUrl = ListingPageUrl(options_.marketHost, slug, page, sortKey);
        Text pageText;
        ++outcome.requests;
        const web::Answer pageAnswer = pacer.Send(
            [&] {
                Text url = pageUrl;
                web::Answer answer = transport_.get(url, stopped);
                // What the window's request gives for a failed one: no page at all.
                pageText = answer.ok ? TextOf(std::move(answer.body)) : Text();
                return Judged(std::move(answer), IsListingPageComplete(pageText), "a listing page");
            },
            stopped);
        const bool pageOk = pageAnswer.ok;
        Count(outcome, pageAnswer);
        outcome.pagesWalked = page;
        report.PageFetched(page, pageOk);
        if (stopped()) {
            outcome.stopped = true;
            break;
        }
        if (pacer.hostGone())
            break;
        const bool skipSlices = !pageOk && options_.skipSlicesOfFailedPage;
        const ListingPageValues values = CutListingPage(pageText);
        const std::string book = web::UrlEncode(values.book, true, options_.pump);
        Text token = values.token;
        for (int slice = 1; slice <= 10 && !skipSlices; ++slice) {
            const Text body = SliceBody(token, book, slice, values.total);
            Text sliceText;
            ++outcome.requests;
            const web::Answer sliceAnswer = pacer.Send(
                [&] {
                    Text url = SliceUrl(options_.marketHost);
                    web::Answer answer = transport_.post(url, body, stopped);
                    sliceText = web::DecodeEscapes(answer.ok ? TextOf(std::move(answer.body)) : Text());
                    return Judged(std::move(answer), IsSliceComplete(sliceText), "a listing slice");
                },
                stopped);
            const bool sliceOk = sliceAnswer.ok;
            Count(outcome, sliceAnswer);
            report.SliceFetched(page, slice, sliceOk);
            if (stopped()) {
                outcome.stopped = true;
                break;
            }
            if (pacer.hostGone())
                break;
            // The token is replaced even when the slice carried none: the next request goes out with it empty.
            token = CutSliceToken(sliceText);
            ++slicesRead;
            if (options_.items)
                items = options_.items();
            if (!CheckSlice(sliceText, page, slice, items, report)) {
                outcome.stopped = true;
                break;
            }
        }
        if (outcome.stopped || pacer.hostGone())
            break;
        const int limit = options_.pageLimit ? options_.pageLimit() : request.pageLimit;
        outcome.request.pageLimit = limit;
        if (page >= limit || IsListingEnd(pageText))
            break;
    }

    outcome.finished = Now();
    const bool clean = outcome.clean();
    for (Tally& t : tallies_) {
        base::ItemResult& r = t.result;
        if (r.state != base::ItemState::Found) {
            r.state = clean && t.slicesChecked >= slicesRead ? base::ItemState::NotFound : base::ItemState::Incomplete;
            r.checkedAt = outcome.finished;
        }
        outcome.items.push_back(std::move(r));
    }
    tallies_.clear();
    tallyIndex_.clear();
    matcher_.reset();
    report.PassFinished(outcome);
    return outcome;
}

} // namespace rankmoth::rank
