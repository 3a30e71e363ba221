#include "sources/feed_load.h"

#include "web/codecs.h"

#include <string>
#include <unordered_set>

namespace rankmoth::sources {

namespace {

const Text& IdEnd() {
    static const Text t("\" target=");
    return t;
}
const Text& TitleStart() {
    static const Text t("class=\"title\">");
    return t;
}
const Text& TitleEnd() {
    static const Text t("</div>");
    return t;
}
const Text& EndMarker() {
    static const Text t("data\":{\"isEnd");
    return t;
}

Text ItemMarker(const std::string& shopBase) {
    return Text("creply\" href=\"" + shopBase + "detail/");
}

// The text from `from` (1-based) up to, not including, `to`; empty when either is missing.
Text Between(const Text& page, int from, int to) {
    if (from < 1 || to < 1 || to <= from)
        return {};
    return Mid(page, from, to - from);
}

} // namespace

Text FeedAddress(const std::string& shopBase, const Text& shopId) {
    return Text(shopBase) + shopId + Text("/index/feeds");
}

Bytes FeedBody(int pack) {
    return std::string("page=1&pack=") + std::to_string(pack) + "&order=sale&categoryId=&nid=";
}

Text FeedRefererHeader(const std::string& shopBase, const Text& shopId) {
    return Text("Referer: " + shopBase) + shopId + Text("\r\n");
}

std::vector<FeedScanStep> ScanFeedPage(const Text& page, const std::string& shopBase) {
    const Text marker = ItemMarker(shopBase);
    const int markerLength = static_cast<int>(marker.size());
    std::vector<FeedScanStep> steps;
    int at = Find(page, marker, 1);
    if (at < 0) {
        steps.push_back({});
        return steps;
    }
    // Each link's ID and title are cut only from the stretch before the next link: a link whose title block
    // is missing must not borrow the title of the item after it. The searches inside a stretch stop at its
    // end, so a page of links that all lack a block is still read once, not once per link.
    while (at > 0) {
        const int idStart = at + markerLength;
        const int next = Find(page, marker, idStart);
        const int limit = next > 0 ? next : static_cast<int>(page.size()) + 1;
        FeedScanStep step;
        const int idEnd = FindBefore(page, IdEnd(), idStart, limit);
        if (idEnd > 0) {
            step.id = Between(page, idStart, idEnd);
            const int titleAt = FindBefore(page, TitleStart(), idEnd, limit);
            if (titleAt > 0) {
                const int titleStart = titleAt + static_cast<int>(TitleStart().size());
                const int titleEnd = FindBefore(page, TitleEnd(), titleStart, limit + 1);
                if (titleEnd > 0)
                    step.title = Between(page, titleStart, titleEnd);
            }
        }
        steps.push_back(std::move(step));
        at = next;
    }
    return steps;
}

bool IsFeedEnd(const Text& page) {
    return Contains(page, EndMarker(), true);
}

bool IsFeedPack(const Text& page, const std::string& shopBase) {
    return IsFeedEnd(page) || Contains(page, ItemMarker(shopBase), true);
}

FeedLoad::FeedLoad(FeedFetch fetch, FeedLoadOptions options) : fetch_(std::move(fetch)), options_(std::move(options)) {}

FeedOutcome FeedLoad::Run(const Text& shopId, FeedLoadObserver* observer) {
    FeedLoadObserver quiet;
    FeedLoadObserver& report = observer ? *observer : quiet;
    const auto stopped = [this] { return options_.stopRequested && options_.stopRequested(); };
    web::RequestPacer pacer(options_.policy);
    const std::string& base = options_.shopBase;

    FeedOutcome outcome;
    outcome.shopId = shopId;
    const Text referer = FeedRefererHeader(base, shopId);
    // A feed that hands out the same packs again would otherwise list each item once per pack, and the
    // pass would count every copy as a hit of its own.
    std::unordered_set<std::string> seen;
    int barren = 0;
    int barrenFailed = 0;
    for (int pack = 1; pack <= options_.limits.maxPacks; ++pack) {
        Text page;
        ++outcome.packs;
        ++outcome.requests;
        const web::Answer answer = pacer.Send(
            [&] {
                Text url = FeedAddress(base, shopId);
                web::Answer a = fetch_(url, referer, FeedBody(pack), stopped);
                page = a.ok ? web::DecodeEscapes(TextOf(std::move(a.body))) : Text();
                if (a.ok && !IsFeedPack(page, base)) {
                    a.ok = false;
                    a.failure = base::FailureKind::NotAnswer;
                    a.reason = "the answer is not a shop feed";
                }
                return a;
            },
            stopped);
        const bool ok = answer.ok;
        // A request the stop abandoned is no failure of the feed's: the load says it was stopped instead.
        if (!ok && answer.failure != base::FailureKind::Stopped) {
            ++outcome.failedRequests;
            outcome.failures.Add(answer.failure, answer.reason);
        }
        report.PackFetched(pack, ok);
        if (stopped()) {
            outcome.stopped = true;
            break;
        }

        const std::size_t before = outcome.items.size();
        for (const FeedScanStep& step : ScanFeedPage(page, base)) {
            const bool added = !step.id.empty() && !step.title.empty() && seen.insert(step.id.bytes()).second;
            if (added)
                outcome.items.push_back({step.id, step.title});
            report.ScanStep(step, added, static_cast<int>(outcome.items.size()));
            if (stopped()) {
                outcome.stopped = true;
                break;
            }
        }
        if (outcome.stopped)
            break;
        report.PackDone(pack);
        if (stopped()) {
            outcome.stopped = true;
            break;
        }

        if (IsFeedEnd(page)) {
            outcome.reachedEnd = true;
            break;
        }
        const bool gainedNothing = outcome.items.size() == before;
        barren = gainedNothing ? barren + 1 : 0;
        barrenFailed = gainedNothing && !ok ? barrenFailed + 1 : 0;
        if (barren >= options_.limits.maxBarrenPacksInARow) {
            outcome.incomplete = true;
            outcome.incompleteReason = barrenFailed == barren
                                           ? std::to_string(barren) + " feed packs in a row failed"
                                           : std::to_string(barren) + " feed packs in a row added no new item";
            break;
        }
    }
    if (!outcome.stopped && !outcome.reachedEnd && !outcome.incomplete) {
        outcome.incomplete = true;
        outcome.incompleteReason = "the feed did not end within " + std::to_string(options_.limits.maxPacks) +
                                   " packs (" + std::to_string(outcome.items.size()) + " items)";
    }
    report.LoadFinished(outcome);
    return outcome;
}

} // namespace rankmoth::sources
