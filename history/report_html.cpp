#include "history/report_html.h"

#include "base/safe_text.h"
#include "history/place_label.h"
#include "history/report_svg.h"
#include "history/result_row.h"

#include <cstdio>

namespace rankmoth::history::html {

namespace {

// Debian's CJK fonts (Noto CJK, WenQuanYi, Droid fallback) answer the first names; the rest are the other
// systems' own, so a recipient's machine finds one without a web font.
constexpr const char* kFonts = "\"Noto Sans CJK SC\",\"Source Han Sans SC\",\"WenQuanYi Micro Hei\","
                               "\"WenQuanYi Zen Hei\",\"Droid Sans Fallback\",\"PingFang SC\",\"Microsoft YaHei\","
                               "sans-serif";

std::string Style() {
    std::string css = "@page{size:A4;margin:12mm}*{box-sizing:border-box}"
                      "body{font-family:" +
                      std::string(kFonts) +
                      ";color:#222;background:#fff;margin:0 auto;max-width:186mm;padding:8mm 0;font-size:10pt;"
                      "line-height:1.4}@media print{body{padding:0;max-width:none}}"
                      "h1{font-size:16pt;margin:0 0 2mm}"
                      "h2{font-size:12pt;border-bottom:1px solid #ccc;margin:7mm 0 2mm;break-after:avoid}"
                      "h3{font-size:10pt;margin:0;font-weight:600;overflow-wrap:anywhere}"
                      ".id{color:#666;font-weight:400;margin-left:.6em}"
                      "dl{display:grid;grid-template-columns:max-content 1fr;gap:1mm 4mm;margin:0}dt{color:#555}"
                      "dd{margin:0}p{margin:1mm 0}.note{color:#555;font-size:9pt}"
                      "table{border-collapse:collapse;width:100%;table-layout:fixed;font-size:9pt}"
                      "caption{text-align:left;font-weight:600;padding:1mm 0}"
                      "th,td{border-bottom:1px solid #e2e2e2;padding:.8mm 1.2mm;text-align:left;vertical-align:top;"
                      "overflow-wrap:anywhere}th{color:#555;font-weight:600}thead{display:table-header-group}"
                      "tr,figure{break-inside:avoid}.cols{display:grid;grid-template-columns:1fr 1fr;gap:3mm 5mm}"
                      ".up{color:#1e7d3a}.down{color:#b3261e}.warn{color:#b3261e}"
                      "article{break-inside:avoid;padding:2mm 0;border-bottom:1px solid #eee}"
                      "svg{display:block;width:100%;height:auto}svg.defs{position:absolute;width:0;height:0}"
                      "figure{margin:2mm 0 4mm}figcaption{font-weight:600}"
                      ".keys{list-style:none;padding:0;margin:1mm 0;display:flex;flex-wrap:wrap;gap:1mm 4mm}"
                      "i.sw{display:inline-block;width:3mm;height:3mm;vertical-align:-.3mm;margin-right:1mm}"
                      ".lb{font-size:7px;dominant-baseline:central;fill:#333}"
                      ".ax{font-size:6px;fill:#777;dominant-baseline:central}.end{text-anchor:end}"
                      ".pn text{fill:#fff;text-anchor:middle;dominant-baseline:central}"
                      ".grid{stroke:#e6e6e6;stroke-width:.5;fill:none}"
                      ".brk{stroke:#909090;stroke-dasharray:2 1.5;stroke-width:.8;fill:none}"
                      ".edge{stroke:" +
                      CssColour(kHatchColour) +
                      ";stroke-width:.4}.ln{fill:none;stroke-width:1.1;stroke-linejoin:round;stroke-linecap:round}"
                      ".dot{stroke-width:3}";
    const std::pair<const char*, base::Zone> zones[] = {
        {"zu", base::Zone::Upper}, {"zm", base::Zone::Middle}, {"zl", base::Zone::Lower}};
    for (const auto& [cls, zone] : zones)
        css += "." + std::string(cls) + "{fill:" + CssColour(ZoneColour(zone, base::ItemState::Found)) + "}";
    css += ".zn{fill:" + CssColour(ZoneColour(base::Zone::None, base::ItemState::NotFound)) + "}";
    css += ".zh{fill:url(#rm-hatch)}";
    for (int s = 0; s < kSortCount; ++s) {
        const base::Colour bgr = base::kSortTable[static_cast<std::size_t>(s)].chart;
        const std::uint32_t rgb = ((bgr & 0xff) << 16) | (bgr & 0xff00) | ((bgr >> 16) & 0xff);
        css += ".s" + std::to_string(s) + "{stroke:" + CssColour(rgb) + "}";
    }
    return css;
}

std::string Label(std::size_t sort) {
    return std::string(base::kSortTable[sort].label);
}

std::string PlaceOfPosition(int position) {
    if (position <= 0)
        return "未找到";
    return PlaceLabel(base::ItemState::Found, (position - 1) / 10 + 1, (position - 1) % 10 + 1);
}

std::string Standing(const SortStanding& standing) {
    return standing.checked ? PlaceLabel(standing.state, standing.page, standing.slice) : std::string("—");
}

std::string MoversTable(const char* caption, const std::vector<Mover>& movers, bool gains) {
    std::string out = "<table><caption>" + std::string(caption) +
                      "</caption><colgroup><col style=\"width:40%\"><col style=\"width:12%\"><col><col>"
                      "<col style=\"width:14%\"></colgroup><thead><tr><th>商品</th><th>排序</th><th>从</th><th>到"
                      "</th><th>变化</th></tr></thead><tbody>";
    if (movers.empty())
        out += "<tr><td colspan=\"5\" class=\"note\">无</td></tr>";
    for (const Mover& m : movers) {
        std::string change = m.from == 0   ? std::string("新上榜")
                             : m.to == 0   ? std::string("落榜")
                             : gains       ? "+" + std::to_string(m.change)
                                           : "−" + std::to_string(-m.change);
        out += "<tr><td>" + base::MarkupText(m.title) + "<br><span class=\"id\">" + base::MarkupText(m.itemId) + "</span></td><td>" +
               Label(static_cast<std::size_t>(m.sort)) + "</td><td>" + PlaceOfPosition(m.from) + "</td><td>" +
               PlaceOfPosition(m.to) + "</td><td class=\"" + (gains ? "up" : "down") + "\">" + change + "</td></tr>";
    }
    return out + "</tbody></table>";
}

} // namespace

std::string LocalShort(const std::string& stored) {
    const std::string local = IsoLocalTime(std::string_view(stored)); // 2026-12-09T14:05:00+01:00
    return local.size() >= 16 ? local.substr(0, 10) + " " + local.substr(11, 5) : local;
}

std::string Head(const std::string& shop) {
    // The policy is a second lock on the door: were a title ever to slip through unescaped, the page still
    // could not fetch or run anything.
    return "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
           "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; style-src 'unsafe-inline'\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>店铺 " +
           base::MarkupText(shop) + " 排名报告</title><style>" + Style() + "</style></head><body>\n" + HatchDefinition() + "\n";
}

std::string Tail() {
    return "</body></html>\n";
}

std::string Header(const HeaderFacts& f) {
    const std::string local = IsoLocalTime(std::string_view(f.lastPass));
    const std::string offset = local.size() > 19 ? local.substr(19) : std::string();
    std::string out = "<header><h1>店铺 " + base::MarkupText(f.shop) + " 排名报告</h1><dl><dt>时段</dt><dd>" +
                      LocalShort(f.firstPass) + " – " + LocalShort(f.lastPass) +
                      (offset.empty() ? std::string() : "（UTC" + offset + "）") + "</dd><dt>查询</dt><dd>" +
                      std::to_string(f.passes) + " 次，其中完整 " + std::to_string(f.cleanPasses) + " 次；商品 " +
                      std::to_string(f.items) + " 件</dd><dt>最近一次运行</dt><dd>";
    if (f.lastRun)
        out += LocalShort(f.lastRun->started) + "，" + std::to_string(f.lastRun->passes) + " 次查询，退出状态 " +
               std::to_string(f.lastRun->exitStatus);
    else if (!f.lastRunWithoutShop.empty())
        out += LocalShort(f.lastRunWithoutShop) + "，未查此店铺";
    else
        out += "无（未用 rankmoth-cli track 监视）";
    out += "</dd><dt>第1页·上</dt><dd>";
    for (std::size_t s = 0; s < f.upperFirstPage.size(); ++s)
        out += (s ? "，" : "") + Label(s) + " " + std::to_string(f.upperFirstPage[s]) + " 件";
    return out + "</dd><dt>生成于</dt><dd>" + LocalShort(f.generated) + "</dd></dl></header>\n";
}

std::string MoversSection(const Movers& previous, const Movers& week) {
    return "<section><h2>变化最大的商品</h2><div class=\"cols\">" + MoversTable("较上次 · 上升", previous.gains, true) +
           MoversTable("较上次 · 下降", previous.losses, false) + MoversTable("7 天内 · 上升", week.gains, true) +
           MoversTable("7 天内 · 下降", week.losses, false) + "</div></section>\n";
}

std::string ItemsOpening() {
    std::string keys;
    const std::pair<const char*, const char*> legend[] = {
        {"zu", "上部（1–3）"}, {"zm", "中部（4–6）"}, {"zl", "下部（7–10）"}, {"zn", "未找到"}, {"zh", "未查完"}};
    for (const auto& [cls, text] : legend)
        keys += "<li><svg class=\"sw\" viewBox=\"0 0 4 4\" style=\"display:inline-block;width:3mm;height:3mm;"
                "vertical-align:-.3mm;margin-right:1mm\"><path class=\"" +
                std::string(cls) + "\" d=\"M0 0h4v4h-4z\"/></svg>" + text + "</li>";
    return "<section><h2>各商品的区位与位置</h2><p class=\"note\">每格一次查询，格中数字为页码；虚线处两次查询"
           "之间的间隔超过通常的两倍。曲线的纵轴以第 1 位在上，缩放到最差的位置。</p><ul class=\"keys\">" +
           keys + "</ul>\n";
}

std::string ItemSection(const ItemFacts& item, const std::string& strip, std::size_t perColumn,
                        const std::string& sparkline) {
    std::string places;
    for (std::size_t s = 0; s < item.latest.size(); ++s)
        places += (s ? " · " : "") + Label(s) + " " + Standing(item.latest[s]);
    std::string seen = item.firstFound.empty()
                           ? std::string("从未找到")
                           : "首次找到 " + LocalShort(item.firstFound) + " · 最近找到 " + LocalShort(item.lastFound);
    if (perColumn > 1)
        seen += " · 每格为连续 " + std::to_string(perColumn) + " 次查询中最近的一次";
    return "<article><h3>" + base::MarkupText(item.title) + "<span class=\"id\">" + base::MarkupText(item.itemId) +
           "</span></h3><p class=\"note\">" + places + "<br>" + seen + "</p>" + strip + sparkline + "</article>\n";
}

std::string ItemsClosing() {
    return "</section>\n";
}

std::string UnseenSection(const std::vector<UnseenItem>& items) {
    if (items.empty())
        return {};
    std::string out = "<section><h2>未找到的商品（" + std::to_string(items.size()) +
                      " 件）</h2><p class=\"note\">这些商品在本时段的每次查询中都未找到（或未查完）。</p><table>"
                      "<colgroup><col style=\"width:60%\"><col><col style=\"width:16%\"></colgroup><thead><tr>"
                      "<th>商品</th><th>编号</th><th>查询</th></tr></thead><tbody>";
    for (const UnseenItem& item : items)
        out += "<tr><td>" + base::MarkupText(item.title) + "</td><td>" + base::MarkupText(item.itemId) + "</td><td>" +
               std::to_string(item.passes) + " 次</td></tr>";
    return out + "</tbody></table></section>\n";
}

std::string CrossSection(const std::vector<CrossRow>& rows) {
    std::string out = "<section><h2>各排序对照</h2><table><colgroup><col style=\"width:34%\"><col><col><col>"
                      "<col style=\"width:16%\"></colgroup><thead><tr><th>商品</th>";
    for (std::size_t s = 0; s < static_cast<std::size_t>(kSortCount); ++s)
        out += "<th>" + Label(s) + "</th>";
    out += "<th>分歧</th></tr></thead><tbody>";
    for (const CrossRow& row : rows) {
        const Disagreement disagreement = DisagreementOf(row.sorts);
        out += "<tr><td>" + base::MarkupText(row.title) + "<br><span class=\"id\">" + base::MarkupText(row.itemId) + "</span></td>";
        for (const SortStanding& standing : row.sorts)
            out += "<td>" + Standing(standing) + "</td>";
        out += disagreement.cell.empty() ? "<td></td>"
                                         : "<td class=\"warn\" title=\"" + base::MarkupText(disagreement.tip) + "\">" +
                                               base::MarkupText(disagreement.cell) + "</td>";
        out += "</tr>\n";
    }
    return out + "</tbody></table></section>\n";
}

std::string ShareSection(const std::vector<ListingVisibility>& listings) {
    if (listings.empty())
        return {};
    std::string out = "<section><h2>店铺可见度占比</h2><p class=\"note\">同一次监视中各店铺可见度占总和的比例。"
                      "可见度为店铺各件找到的商品之和：第1页上部每件计 1.0，中部 0.6，下部 0.3，再除以页码。</p>\n";
    for (const ListingVisibility& listing : listings) {
        const std::vector<std::uint32_t> colours = ShopColours(listing.shops.size());
        const std::vector<double> latest =
            listing.points.empty() ? std::vector<double>{} : SharesOf(listing.points.back().scores);
        std::string caption = base::MarkupText(listing.category);
        if (!listing.subCategory.empty())
            caption += " / " + base::MarkupText(listing.subCategory);
        const auto sort = base::SortOfKey(listing.sort);
        caption += " · " + (sort ? std::string(base::EntryOf(*sort).label) : base::MarkupText(listing.sort));
        out += "<figure><figcaption>" + caption + "（" + std::to_string(listing.points.size()) + " 次监视）</figcaption>" +
               ShareChartSvg(listing, colours) + "<ul class=\"keys\">";
        for (std::size_t k = 0; k < listing.shops.size(); ++k) {
            char percent[16];
            std::snprintf(percent, sizeof percent, "%.0f%%", k < latest.size() ? latest[k] * 100 : 0.0);
            out += "<li><i class=\"sw\" style=\"background:" + CssColour(colours[k]) + "\"></i>" +
                   base::MarkupText(listing.shops[k]) + (k == 0 ? "（本店）" : "") + " " + percent + "</li>";
        }
        out += "</ul></figure>\n";
    }
    return out + "</section>\n";
}

} // namespace rankmoth::history::html
