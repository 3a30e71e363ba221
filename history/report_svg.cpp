#include "history/report_svg.h"

#include "base/safe_text.h"
#include "history/place_label.h"
#include "history/result_row.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace rankmoth::history {

namespace {

constexpr double kWidth = 600;

// One decimal is finer than a printed page resolves and keeps the file small. Written by hand: a large
// report prints millions of these, and printf's general path was most of its time.
std::string Num(double value) {
    long tenths = std::lround(value * 10);
    std::string out;
    if (tenths < 0) {
        out += '-';
        tenths = -tenths;
    }
    out += std::to_string(tenths / 10);
    if (tenths % 10 != 0) {
        out += '.';
        out += static_cast<char>('0' + tenths % 10);
    }
    return out;
}

std::string SortLabel(const std::string& key) {
    const auto sort = base::SortOfKey(key);
    return sort ? std::string(base::EntryOf(*sort).label) : key;
}

std::string Open(double height, const char* label) {
    return "<svg viewBox=\"0 0 " + Num(kWidth) + " " + Num(height) +
           "\" role=\"img\" aria-label=\"" + label + "\">";
}

const char* ZoneClass(const TimelineCell& cell) {
    if (cell.hatched())
        return "zh";
    if (cell.state != base::ItemState::Found)
        return "zn";
    switch (cell.zone) {
    case base::Zone::Upper:
        return "zu";
    case base::Zone::Middle:
        return "zm";
    case base::Zone::Lower:
        return "zl";
    case base::Zone::None:
        break;
    }
    return "zn";
}

std::string Box(double x, double y, double w, double h) {
    return "M" + Num(x) + " " + Num(y) + "h" + Num(w) + "v" + Num(h) + "h" + Num(-w) + "z";
}

// The x of a time on [x0, x1] for the span [first, last].
struct TimeScale {
    double x0, x1;
    base::Clock::time_point first, last;
    double operator()(base::Clock::time_point at) const {
        const double span = std::chrono::duration<double>(last - first).count();
        if (span <= 0)
            return (x0 + x1) / 2;
        return x0 + (x1 - x0) * std::chrono::duration<double>(at - first).count() / span;
    }
};

std::string DayLabel(base::Clock::time_point at) {
    const std::string local = IsoLocalTime(IsoTime(at)); // 2026-12-09T14:00:00+01:00
    return local.size() >= 16 ? local.substr(5, 5) + " " + local.substr(11, 5) : local;
}

std::string TimeLabels(const TimeScale& x, double y) {
    return "<text class=\"ax\" x=\"" + Num(x.x0) + "\" y=\"" + Num(y) + "\">" + DayLabel(x.first) +
           "</text><text class=\"ax end\" x=\"" + Num(x.x1) + "\" y=\"" + Num(y) + "\">" + DayLabel(x.last) +
           "</text>";
}

} // namespace

std::string CssColour(std::uint32_t rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", rgb & 0xffffffu);
    return text;
}

std::string HatchDefinition() {
    return "<svg class=\"defs\" width=\"0\" height=\"0\" aria-hidden=\"true\"><defs><pattern id=\"rm-hatch\" "
           "width=\"3\" height=\"3\" patternUnits=\"userSpaceOnUse\" patternTransform=\"rotate(45)\"><rect "
           "width=\"3\" height=\"3\" fill=\"#fff\"/><path d=\"M0 0v3\" stroke=\"" +
           CssColour(kHatchColour) + "\" stroke-width=\"1.2\"/></pattern></defs></svg>";
}

std::string ZoneStripSvg(const std::vector<TimelineRow>& rows, std::size_t maxColumns, std::size_t& perColumn) {
    constexpr double kLabel = 30, kRow = 12, kGap = 3, kBreak = 4;
    std::vector<StripColumns> strips;
    std::size_t widest = 0, breaks = 0;
    perColumn = 1;
    for (const TimelineRow& row : rows) {
        strips.push_back(ColumnsOf(row, maxColumns));
        widest = std::max(widest, strips.back().cells.size());
        perColumn = std::max(perColumn, strips.back().perColumn);
        breaks = std::max<std::size_t>(
            breaks, static_cast<std::size_t>(std::count_if(strips.back().cells.begin(), strips.back().cells.end(),
                                                           [](const TimelineCell& c) { return c.breakBefore; })));
    }
    const double room = kWidth - kLabel - 2 - static_cast<double>(breaks) * kBreak;
    const double pitch = widest == 0 ? 14 : std::min(14.0, room / static_cast<double>(widest));
    const double font = std::min(7.0, pitch * 0.62);

    std::map<std::string, std::string> paths; // class -> path data
    std::string rules, texts;
    const double height = static_cast<double>(rows.size()) * (kRow + kGap) + 1;
    std::string svg = Open(height, "zone timeline");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const double top = 1 + static_cast<double>(r) * (kRow + kGap);
        const double middle = top + kRow / 2;
        svg += "<text class=\"lb\" x=\"0\" y=\"" + Num(middle) + "\">" + base::MarkupText(SortLabel(rows[r].sort)) + "</text>";
        if (strips[r].cells.empty()) {
            svg += "<text class=\"ax\" x=\"" + Num(kLabel) + "\" y=\"" + Num(middle) + "\">—</text>";
            continue;
        }
        double x = kLabel;
        texts += "<g transform=\"translate(0 " + Num(middle) + ")\">";
        for (const TimelineCell& cell : strips[r].cells) {
            if (cell.breakBefore) {
                rules += "M" + Num(x + kBreak / 2) + " " + Num(top - 1) + "v" + Num(kRow + 2);
                x += kBreak;
            }
            paths[ZoneClass(cell)] += Box(x, top, pitch - 0.6, kRow);
            if (cell.state == base::ItemState::Found) {
                const std::string page = std::to_string(cell.page);
                texts += "<text x=\"" + Num(x + (pitch - 0.6) / 2) + "\"" +
                         (page.size() > 2 ? " font-size=\"" + Num(font * 0.75) + "\"" : std::string()) + ">" + page +
                         "</text>";
            }
            x += pitch;
        }
        texts += "</g>";
    }
    for (const auto& [cls, d] : paths)
        svg += "<path class=\"" + cls + "\" d=\"" + d + "\"/>";
    if (!rules.empty())
        svg += "<path class=\"brk\" d=\"" + rules + "\"/>";
    if (!texts.empty())
        svg += "<g class=\"pn\" font-size=\"" + Num(font) + "\">" + texts + "</g>";
    return svg + "</svg>";
}

std::string SparklineSvg(const std::vector<ChartPlan>& plans, base::Clock::time_point first,
                         base::Clock::time_point last) {
    constexpr double kHeight = 50, kTop = 3, kBottom = 38;
    const TimeScale x{30, kWidth - 4, first, last};
    int worst = 0;
    for (const ChartPlan& plan : plans)
        worst = std::max(worst, plan.worst);
    const int band = MissBand(worst);
    const PositionAxis axis = PlanPositionAxis(band);
    const auto y = [&](double position) {
        return kTop + (kBottom - kTop) * (position - axis.top) / (axis.bottom - axis.top);
    };

    std::string svg = Open(kHeight, "position over time");
    std::string grid;
    for (int tick = 1; tick <= std::max(worst, 1); tick += axis.step) {
        grid += "M" + Num(x.x0) + " " + Num(y(tick)) + "H" + Num(x.x1);
        svg += "<text class=\"ax end\" x=\"" + Num(x.x0 - 3) + "\" y=\"" + Num(y(tick)) + "\">" +
               std::to_string(tick) + "</text>";
    }
    svg += "<path class=\"grid\" d=\"" + grid + "\"/>";
    svg += "<text class=\"ax end\" x=\"" + Num(x.x0 - 3) + "\" y=\"" + Num(y(band)) + "\">未找到</text>";

    std::map<long, bool> missAt, incompleteAt; // by whole unit of x: a mark each
    std::vector<std::string> lines(plans.size()), dots(plans.size());
    for (std::size_t s = 0; s < plans.size(); ++s) {
        for (const std::vector<ChartPoint>& run : plans[s].runs) {
            // Many passes to a unit of width: the best and worst of each unit keep the line's true extent.
            std::vector<std::pair<double, int>> kept;
            for (std::size_t k = 0; k < run.size();) {
                const long unit = std::lround(x(run[k].at));
                std::size_t end = k;
                int best = run[k].position, low = run[k].position;
                std::size_t bestAt = k, lowAt = k;
                while (end < run.size() && std::lround(x(run[end].at)) == unit) {
                    if (run[end].position < best)
                        best = run[end].position, bestAt = end;
                    if (run[end].position > low)
                        low = run[end].position, lowAt = end;
                    ++end;
                }
                // Whole units: finer than a printed line shows, and the file stays small.
                kept.emplace_back(static_cast<double>(unit), run[std::min(bestAt, lowAt)].position);
                if (bestAt != lowAt)
                    kept.emplace_back(static_cast<double>(unit), run[std::max(bestAt, lowAt)].position);
                k = end;
            }
            // One path a sort, a subpath a run: a run of one pass is a zero-length subpath, which the round caps
            // draw as a dot, on a path of its own with a wider pen, or it would be a speck the line's width.
            std::string& path = kept.size() == 1 ? dots[s] : lines[s];
            for (std::size_t k = 0; k < kept.size(); ++k)
                path += (k == 0 ? "M" : "L") + Num(kept[k].first) + " " + Num(y(kept[k].second)) +
                        (kept.size() == 1 ? "h0" : "");
        }
        for (const ChartPoint& p : plans[s].notFound)
            missAt[std::lround(x(p.at))] = true;
        for (const ChartPoint& p : plans[s].incomplete)
            incompleteAt[std::lround(x(p.at))] = true;
    }
    for (std::size_t s = 0; s < lines.size(); ++s) {
        if (!lines[s].empty())
            svg += "<path class=\"ln s" + std::to_string(s) + "\" d=\"" + lines[s] + "\"/>";
        if (!dots[s].empty())
            svg += "<path class=\"ln dot s" + std::to_string(s) + "\" d=\"" + dots[s] + "\"/>";
    }
    std::string misses, unknowns;
    for (const auto& [unit, _] : missAt)
        misses += Box(static_cast<double>(unit) - 1.3, y(band) - 1.3, 2.6, 2.6);
    for (const auto& [unit, _] : incompleteAt)
        unknowns += Box(static_cast<double>(unit) - 1.5, y(band) - 1.5, 3, 3);
    if (!misses.empty())
        svg += "<path class=\"zn\" d=\"" + misses + "\"/>";
    if (!unknowns.empty())
        svg += "<path class=\"zh edge\" d=\"" + unknowns + "\"/>";
    return svg + TimeLabels(x, kHeight - 5) + "</svg>";
}

std::vector<std::uint32_t> ShopColours(std::size_t shops) {
    static constexpr std::uint32_t kOthers[] = {0xe07b39, 0x7f8c8d, 0x6a9f58, 0xb15e9e,
                                                0xd4b13a, 0x4fa3b8, 0xa0522d, 0x9aa5b1};
    std::vector<std::uint32_t> colours;
    for (std::size_t k = 0; k < shops; ++k)
        colours.push_back(k == 0 ? 0x1f4e9c : kOthers[(k - 1) % std::size(kOthers)]);
    return colours;
}

std::string ShareChartSvg(const ListingVisibility& listing, const std::vector<std::uint32_t>& colours) {
    constexpr double kHeight = 150, kTop = 4, kBottom = 134;
    base::Clock::time_point first{}, last{};
    std::vector<base::Clock::time_point> times;
    for (const VisibilityPoint& point : listing.points) {
        times.emplace_back();
        ParseIsoTime(point.started, times.back());
    }
    if (!times.empty())
        first = times.front(), last = times.back();
    const TimeScale x{34, kWidth - 4, first, last};
    const auto y = [&](double share) { return kBottom - (kBottom - kTop) * share; };

    std::string svg = Open(kHeight, "visibility share");
    std::string grid;
    for (const int percent : {0, 25, 50, 75, 100}) {
        grid += "M" + Num(x.x0) + " " + Num(y(percent / 100.0)) + "H" + Num(x.x1);
        svg += "<text class=\"ax end\" x=\"" + Num(x.x0 - 3) + "\" y=\"" + Num(y(percent / 100.0)) + "\">" +
               std::to_string(percent) + "%</text>";
    }
    svg += "<path class=\"grid\" d=\"" + grid + "\"/>";

    std::vector<std::vector<double>> shares; // per point, per shop
    for (const VisibilityPoint& point : listing.points)
        shares.push_back(SharesOf(point.scores));
    // A single walk has no span to fill: each shop's share is a band of a bar.
    const bool single = times.size() == 1;
    std::vector<double> below(listing.points.size(), 0.0);
    for (std::size_t s = 0; s < listing.shops.size(); ++s) {
        std::string upper, lower;
        for (std::size_t k = 0; k < listing.points.size(); ++k) {
            const double share = s < shares[k].size() ? shares[k][s] : 0.0;
            const double px = x(times[k]);
            if (single) {
                upper = Box(px - 6, y(below[k] + share), 12, y(below[k]) - y(below[k] + share));
            } else {
                upper += (upper.empty() ? "M" : "L") + Num(px) + " " + Num(y(below[k] + share));
                lower = "L" + Num(px) + " " + Num(y(below[k])) + lower;
            }
            below[k] += share;
        }
        if (upper.empty())
            continue;
        svg += "<path fill=\"" + CssColour(colours[s % colours.size()]) + "\" d=\"" + upper +
               (single ? std::string() : lower + "Z") + "\"/>";
    }
    return svg + TimeLabels(x, kHeight - 5) + "</svg>";
}

} // namespace rankmoth::history
