#include "cli/output_format.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>

namespace rankmoth::cli {

namespace {

// The code point starting at `i` and its length; -1 for a byte that does not start a valid sequence.
std::pair<char32_t, int> DecodeAt(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char lead = b(i);
    int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > s.size())
        return {static_cast<char32_t>(-1), 1};
    char32_t cp = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k) {
        if ((b(i + k) & 0xC0) != 0x80)
            return {static_cast<char32_t>(-1), 1};
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    return {cp, length};
}

int CodePointWidth(char32_t cp) {
    if (cp == static_cast<char32_t>(-1))
        return 1;
    if ((cp >= 0x0300 && cp <= 0x036F) || (cp >= 0x200B && cp <= 0x200F) || (cp >= 0xFE00 && cp <= 0xFE0F))
        return 0;
    static constexpr std::array<std::pair<char32_t, char32_t>, 14> kWide = {{
        {0x1100, 0x115F},
        {0x2E80, 0x303E},
        {0x3041, 0x33FF},
        {0x3400, 0x4DBF},
        {0x4E00, 0x9FFF},
        {0xA000, 0xA4CF},
        {0xAC00, 0xD7A3},
        {0xF900, 0xFAFF},
        {0xFE30, 0xFE4F},
        {0xFF00, 0xFF60},
        {0xFFE0, 0xFFE6},
        {0x1F300, 0x1F64F},
        {0x1F900, 0x1F9FF},
        {0x20000, 0x3FFFD},
    }};
    for (const auto& [from, to] : kWide) {
        if (cp >= from && cp <= to)
            return 2;
    }
    return 1;
}

std::string Utf8Title(const Text& title) {
    return title.ToUtf8();
}

std::string PadRight(std::string_view s, int columns) {
    std::string out(s);
    out.append(static_cast<std::size_t>(std::max(0, columns - DisplayWidth(s))), ' ');
    return out;
}

std::string Number(int n) {
    return std::to_string(n);
}

constexpr int kTitleColumns = 40;

} // namespace

std::string_view FailureKindName(base::FailureKind kind) {
    switch (kind) {
    case base::FailureKind::Refused:
        return "refused";
    case base::FailureKind::Unresolved:
        return "unresolved";
    case base::FailureKind::Deadline:
        return "deadline";
    case base::FailureKind::CutOff:
        return "cut_off";
    case base::FailureKind::HttpStatus:
        return "http_status";
    case base::FailureKind::TooLarge:
        return "too_large";
    case base::FailureKind::Stopped:
        return "stopped";
    case base::FailureKind::NotAnswer:
        return "not_answer";
    case base::FailureKind::Other:
        break;
    }
    return "other";
}

std::vector<std::string> FailureLines(const std::vector<base::PassOutcome>& passes) {
    base::FailureTally first; // the first reason of each kind, in the order the kinds were met
    std::vector<int> counts;
    for (const auto& pass : passes) {
        for (const base::FailureCount& failure : pass.failures.entries()) {
            const std::size_t before = first.entries().size();
            first.Add(failure.kind, failure.firstReason);
            if (first.entries().size() > before)
                counts.push_back(0);
            for (std::size_t k = 0; k < first.entries().size(); ++k) {
                if (first.entries()[k].kind == failure.kind)
                    counts[k] += failure.count;
            }
        }
    }
    std::vector<std::string> lines;
    for (std::size_t k = 0; k < counts.size(); ++k)
        lines.push_back(std::to_string(counts[k]) + (counts[k] == 1 ? " request failed: " : " requests failed: ") +
                        first.entries()[k].firstReason);
    return lines;
}

int DisplayWidth(std::string_view utf8) {
    int width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto [cp, length] = DecodeAt(utf8, i);
        width += CodePointWidth(cp);
        i += length;
    }
    return width;
}

std::string FitWidth(std::string_view utf8, int columns) {
    if (DisplayWidth(utf8) <= columns)
        return std::string(utf8);
    std::string out;
    int width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto [cp, length] = DecodeAt(utf8, i);
        const int w = CodePointWidth(cp);
        if (width + w > columns - 1)
            break;
        out.append(utf8.substr(i, length));
        width += w;
        i += length;
    }
    return out + "…";
}

history::ResultRow ResultOf(const base::PassOutcome& pass, const base::ItemResult& item) {
    return {
        item.itemId.ToUtf8(), Utf8Title(item.title), pass.request.sort, item.state, item.page, item.slice, item.hits,
        item.checkedAt};
}

history::PassView PassViewOf(const base::PassOutcome& pass) {
    history::PassView view;
    view.shop = pass.request.shop.ToUtf8();
    view.category = pass.request.category;
    view.subCategory = pass.request.subCategory.ToUtf8();
    view.sort = pass.request.sort;
    view.pageLimit = pass.request.pageLimit;
    view.started = pass.started;
    view.finished = pass.finished;
    view.pagesWalked = pass.pagesWalked;
    view.requests = pass.requests;
    view.failedRequests = pass.failedRequests;
    view.stopped = pass.stopped;
    view.walkId = pass.walkId;
    return view;
}

std::string CsvRow(const base::PassOutcome& pass, const base::ItemResult& item) {
    return history::ResultCsvLine(ResultOf(pass, item));
}

std::string PassJson(const base::PassOutcome& pass) {
    using json = nlohmann::ordered_json;
    json object = history::PassJson(PassViewOf(pass));
    json failures = json::array();
    for (const base::FailureCount& failure : pass.failures.entries())
        failures.push_back(
            {{"kind", FailureKindName(failure.kind)}, {"reason", failure.firstReason}, {"count", failure.count}});
    object["failures"] = std::move(failures);
    json items = json::array();
    for (const auto& item : pass.items)
        items.push_back(history::ResultJson(ResultOf(pass, item)));
    object["items"] = std::move(items);
    return history::Dumped(object);
}

std::string PassTable(const std::vector<base::PassOutcome>& passes) {
    return PassRows(passes) + PassSummary(passes);
}

std::string PassRows(const std::vector<base::PassOutcome>& passes) {
    using Row = std::array<std::string, 8>;
    std::vector<Row> rows = {{"ITEM", "TITLE", "SORT", "STATE", "PAGE", "SLICE", "ZONE", "HITS"}};
    for (const auto& pass : passes) {
        for (const auto& item : pass.items) {
            const bool found = item.state == base::ItemState::Found;
            rows.push_back({base::TerminalSafe(item.itemId.ToUtf8()),
                            FitWidth(base::TerminalSafe(Utf8Title(item.title)), kTitleColumns), pass.request.sort,
                            std::string(base::StateName(item.state)), found ? Number(item.page) : "",
                            found ? Number(item.slice) : "", std::string(base::ZoneName(item.zone())),
                            Number(item.hits)});
        }
    }
    std::array<int, 8> widths{};
    for (const auto& row : rows) {
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], DisplayWidth(row[c]));
    }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c)
            line += c + 1 < row.size() ? PadRight(row[c], widths[c]) + "  " : row[c];
        out += line + '\n';
    }
    return out;
}

std::string PassSummary(const std::vector<base::PassOutcome>& passes) {
    int found = 0, notFound = 0, incomplete = 0, pages = 0, requests = 0, failed = 0;
    bool stopped = false;
    base::Clock::duration elapsed{};
    for (const auto& pass : passes) {
        for (const auto& item : pass.items) {
            found += item.state == base::ItemState::Found;
            notFound += item.state == base::ItemState::NotFound;
            incomplete += item.state == base::ItemState::Incomplete;
        }
        pages += pass.pagesWalked;
        requests += pass.requests;
        failed += pass.failedRequests;
        stopped = stopped || pass.stopped;
        elapsed += pass.finished - pass.started;
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f s",
                  std::chrono::duration<double>(std::max(elapsed, base::Clock::duration::zero())).count());
    std::string line = std::to_string(passes.size()) + (passes.size() == 1 ? " pass: " : " passes: ") +
                       std::to_string(found) + " found, " + std::to_string(notFound) + " not found, " +
                       std::to_string(incomplete) + " incomplete; " + std::to_string(pages) + " pages, " +
                       std::to_string(requests) + " requests, " + std::to_string(failed) + " failed; " + seconds;
    if (stopped)
        line += "; stopped";
    return line + '\n';
}

} // namespace rankmoth::cli
