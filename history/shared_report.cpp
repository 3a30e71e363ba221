#include "history/shared_report.h"

#include "history/place_label.h"
#include "history/report_html.h"
#include "history/report_svg.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <optional>

#include <sys/types.h>

namespace rankmoth::history {

namespace {

constexpr auto kWeek = std::chrono::hours(24 * 7);

ItemTimeline Within(const ItemTimeline& timeline, const Period& period) {
    ItemTimeline kept;
    for (std::size_t s = 0; s < timeline.sorts.size(); ++s)
        for (const TimelinePoint& point : timeline.sorts[s])
            if (period.Holds(point.started))
                kept.sorts[s].push_back(point);
    return kept;
}

std::array<SortStanding, kSortCount> LatestOf(const ItemTimeline& timeline) {
    std::array<SortStanding, kSortCount> latest{};
    for (std::size_t s = 0; s < latest.size(); ++s) {
        if (timeline.sorts[s].empty())
            continue;
        const TimelinePoint& last = timeline.sorts[s].back();
        latest[s].checked = true;
        latest[s].state = last.state;
        latest[s].page = last.page;
        latest[s].slice = last.slice;
        latest[s].checkedAt = last.started;
    }
    return latest;
}

// An unnamed file that holds the item sections until the movers above them are known; gone when closed,
// whatever ends the report.
struct Scratch {
    struct Span {
        off_t at = 0;
        std::size_t size = 0;
    };
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file{std::tmpfile(), &std::fclose};
    off_t end = 0;

    std::optional<Span> Put(const std::string& text) {
        if (std::fwrite(text.data(), 1, text.size(), file.get()) != text.size())
            return std::nullopt;
        const Span span{end, text.size()};
        end += static_cast<off_t>(text.size());
        return span;
    }
    bool CopyTo(const std::vector<std::optional<Span>>& spans, const TextSink& write) {
        if (std::fflush(file.get()) != 0)
            return false;
        std::string buffer;
        for (const auto& span : spans) {
            if (!span)
                continue;
            buffer.resize(span->size);
            if (fseeko(file.get(), span->at, SEEK_SET) != 0 ||
                std::fread(buffer.data(), 1, buffer.size(), file.get()) != buffer.size() || !write(buffer))
                return false;
        }
        return true;
    }
};

// The best latest position over the sorts, 0 when none found the item.
int BestOf(const std::array<SortStanding, kSortCount>& latest) {
    int best = 0;
    for (const SortStanding& standing : latest)
        if (standing.checked && standing.state == base::ItemState::Found)
            best = best == 0 ? standing.position() : std::min(best, standing.position());
    return best;
}

// The sections in the order a reader looks for them: the best placed first, ties in the page's order.
std::vector<std::optional<Scratch::Span>> BestFirst(const std::vector<std::optional<Scratch::Span>>& spans,
                                                    const std::vector<int>& best) {
    std::vector<std::size_t> order(spans.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = k;
    const auto rank = [&](std::size_t k) { return best[k] > 0 ? best[k] : std::numeric_limits<int>::max(); };
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return rank(a) < rank(b); });
    std::vector<std::optional<Scratch::Span>> sorted;
    for (const std::size_t k : order)
        sorted.push_back(spans[k]);
    return sorted;
}

template <typename T> std::vector<T> Present(std::vector<std::optional<T>>& maybe) {
    std::vector<T> present;
    for (auto& value : maybe)
        if (value)
            present.push_back(std::move(*value));
    return present;
}

} // namespace

base::Result<ReportFigures> WriteReport(Store& store, const ReportOptions& options, const TextSink& write) {
    ReportFigures figures;
    auto passes = store.Passes(PassFilter{options.shop, "", "", ""});
    if (!passes)
        return base::Fail(passes.error());
    html::HeaderFacts facts;
    facts.shop = options.shop;
    facts.generated = IsoTime(options.generatedAt);
    for (const PassRow& pass : passes.value()) {
        if (!options.period.Holds(pass.started))
            continue;
        ++facts.passes;
        facts.cleanPasses += pass.clean() ? 1 : 0;
        if (facts.firstPass.empty())
            facts.firstPass = pass.started;
        facts.lastPass = std::max(facts.lastPass, pass.started);
    }
    figures.passes = facts.passes;
    if (figures.passes == 0)
        return figures;
    base::Clock::time_point first{}, last{};
    ParseIsoTime(facts.firstPass, first);
    ParseIsoTime(facts.lastPass, last);
    const std::string weekAgo = IsoTime(last - kWeek);

    auto run = store.LatestRun();
    if (!run)
        return base::Fail(run.error());
    // Runs are the history's, not a shop's: the latest may have been another watch's, or after the period.
    if (const auto& latest = run.value()) {
        const bool coveredShop = std::any_of(passes.value().begin(), passes.value().end(), [&](const PassRow& pass) {
            return options.period.Holds(pass.started) && pass.started >= latest->started &&
                   pass.started <= latest->finished;
        });
        if (coveredShop)
            facts.lastRun = latest;
        else
            facts.lastRunWithoutShop = latest->started;
    }
    auto summaries = store.ItemSummaries(options.shop);
    if (!summaries)
        return base::Fail(summaries.error());

    Scratch scratch;
    if (!scratch.file)
        return base::Fail("no temporary file for the report's items could be made");
    MoverBoard sincePrevious(options.movers), overWeek(options.movers);
    // The store hands timelines over in item order; the page lists items in the history page's order, so each
    // section's place in the scratch file is kept and the sections are copied out in that order.
    std::map<std::string, std::size_t> order;
    for (std::size_t k = 0; k < summaries.value().size(); ++k)
        order.emplace(summaries.value()[k].itemId, k);
    std::vector<std::optional<Scratch::Span>> spans(summaries.value().size());
    std::vector<std::optional<html::CrossRow>> cross(summaries.value().size());
    std::vector<int> best(summaries.value().size(), 0);
    std::vector<html::UnseenItem> unseen;
    bool written = true;
    auto read = store.ForEachTimeline(options.shop, [&](const std::string& itemId, const ItemTimeline& timeline) {
        const auto known = order.find(itemId);
        if (known == order.end())
            return true; // a result of an item deleted while the report is read
        const ItemSummary& summary = summaries.value()[known->second];
        // An open period keeps every point: no copy of a timeline thousands of passes long.
        const bool open = options.period.since.empty() && options.period.until.empty();
        const ItemTimeline within = open ? ItemTimeline{} : Within(timeline, options.period);
        const ItemTimeline& shown = open ? timeline : within;
        html::ItemFacts item{summary.itemId, summary.title, LatestOf(shown), {}, {}};
        bool any = false;
        for (const auto& points : shown.sorts)
            any = any || !points.empty();
        if (!any)
            return true;
        ++figures.items;
        for (const auto& points : timeline.sorts)
            for (const TimelinePoint& point : points)
                if (point.state == base::ItemState::Found) {
                    if (item.firstFound.empty() || point.started < item.firstFound)
                        item.firstFound = point.started;
                    item.lastFound = std::max(item.lastFound, point.started);
                }
        for (std::size_t s = 0; s < item.latest.size(); ++s)
            if (item.latest[s].checked && item.latest[s].state == base::ItemState::Found &&
                item.latest[s].page == 1 && base::ZoneOfSlice(item.latest[s].slice) == base::Zone::Upper)
                ++facts.upperFirstPage[s];
        for (Mover& move : MovesOf(summary.itemId, summary.title, shown, ""))
            sincePrevious.Offer(std::move(move));
        for (Mover& move : MovesOf(summary.itemId, summary.title, shown, weekAgo))
            overWeek.Offer(std::move(move));

        std::vector<ChartPlan> plans;
        int worst = 0;
        for (const auto& points : shown.sorts) {
            plans.push_back(PlanPositionChart(points));
            worst = std::max(worst, plans.back().worst);
        }
        cross[known->second] = html::CrossRow{summary.itemId, summary.title, item.latest};
        // An item no pass of the period found has nothing to draw but grey: it is listed apart, in a line.
        if (worst == 0) {
            std::size_t looked = 0;
            for (const auto& points : shown.sorts)
                looked += points.size();
            unseen.push_back({summary.itemId, summary.title, looked});
            return true;
        }
        std::size_t perColumn = 1;
        const std::string strip = ZoneStripSvg(BuildTimeline(shown), options.stripColumns, perColumn);
        spans[known->second] = scratch.Put(
            html::ItemSection(item, strip, perColumn, SparklineSvg(plans, first, last)));
        written = spans[known->second].has_value();
        best[known->second] = BestOf(item.latest);
        return written;
    });
    if (!read)
        return base::Fail(read.error());
    if (!written)
        return base::Fail("the report's items could not be kept in a temporary file");
    facts.items = figures.items;

    auto compared = CompareShops(store, options.shop, options.period);
    if (!compared)
        return base::Fail(compared.error());
    figures.listings = compared.value().size();

    const bool complete = write(html::Head(options.shop)) && write(html::Header(facts)) &&
                          write(html::MoversSection(sincePrevious.movers(), overWeek.movers())) &&
                          write(html::ItemsOpening()) && scratch.CopyTo(BestFirst(spans, best), write) &&
                          write(html::ItemsClosing()) && write(html::UnseenSection(unseen)) && write(html::CrossSection(Present(cross))) &&
                          write(html::ShareSection(compared.value())) && write(html::Tail());
    if (!complete)
        return base::Fail("the report could not be written out whole");
    return figures;
}

std::string DefaultReportName(const std::string& shop, base::Clock::time_point day) {
    std::string safe;
    for (const char c : shop) {
        const unsigned char u = static_cast<unsigned char>(c);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.' || u >= 0x80;
        safe += plain ? c : '_';
    }
    if (safe.empty() || safe.front() == '.')
        safe.insert(safe.begin(), '_');
    const std::string local = IsoLocalTime(day);
    return "rankmoth-" + safe + "-" + local.substr(0, 10) + ".html";
}

} // namespace rankmoth::history
