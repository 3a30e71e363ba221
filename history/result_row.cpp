#include "history/result_row.h"

#include "base/safe_text.h"
#include "history/place_label.h"

#include <cstdio>
#include <cstdlib>

namespace rankmoth::history {

namespace {

Cell Text(std::string text) {
    return Cell(std::in_place_type<std::string>, std::move(text));
}
Cell Number(long long n) {
    return Cell(std::in_place_type<long long>, n);
}
Cell Flag(bool b) {
    return Cell(std::in_place_type<bool>, b);
}
Cell IfFound(const ResultRow& row, long long n) {
    return row.state == base::ItemState::Found ? Number(n) : Cell();
}

} // namespace

bool ParseOutputFormat(std::string_view name, OutputFormat& format) {
    std::string word(name);
    for (char& c : word) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    if (word == "table")
        format = OutputFormat::Table;
    else if (word == "csv")
        format = OutputFormat::Csv;
    else if (word == "json")
        format = OutputFormat::Json;
    else if (word == "jsonl")
        format = OutputFormat::Jsonl;
    else
        return false;
    return true;
}

std::string IsoLocalTime(std::time_t when) {
    std::tm local{};
    if (!localtime_r(&when, &local))
        return {};
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
    // strftime's %z gives "+0800"; ISO 8601's extended form wants the colon.
    const long offset = local.tm_gmtoff;
    const long minutes = std::labs(offset) / 60;
    char zone[48];
    std::snprintf(zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return std::string(stamp) + zone;
}

std::string IsoLocalTime(base::Clock::time_point when) {
    return IsoLocalTime(base::Clock::to_time_t(when));
}

std::string IsoLocalTime(std::string_view stored) {
    base::Clock::time_point at{};
    return ParseIsoTime(stored, at) ? IsoLocalTime(at) : std::string(stored);
}

const std::array<Column<ResultRow>, 9>& ResultColumns() {
    static const std::array<Column<ResultRow>, 9> columns = {{
        {"item_id", [](const ResultRow& r) { return Text(r.itemId); }},
        {"title", [](const ResultRow& r) { return Text(r.title); }},
        {"sort", [](const ResultRow& r) { return Text(r.sort); }},
        {"state", [](const ResultRow& r) { return Text(std::string(base::StateName(r.state))); }},
        {"page", [](const ResultRow& r) { return IfFound(r, r.page); }},
        {"slice", [](const ResultRow& r) { return IfFound(r, r.slice); }},
        {"zone",
         [](const ResultRow& r) {
             return r.state == base::ItemState::Found ? Text(std::string(base::ZoneName(base::ZoneOfSlice(r.slice))))
                                                      : Cell();
         }},
        {"hits", [](const ResultRow& r) { return Number(r.hits); }},
        {"checked_at", [](const ResultRow& r) { return Text(IsoLocalTime(r.checkedAt)); }},
    }};
    return columns;
}

const std::array<Column<PassView>, 13>& PassColumns() {
    static const std::array<Column<PassView>, 13> columns = {{
        {"shop", [](const PassView& p) { return Text(p.shop); }},
        {"category", [](const PassView& p) { return Text(p.category); }},
        {"sub_category", [](const PassView& p) { return Text(p.subCategory); }},
        {"sort", [](const PassView& p) { return Text(p.sort); }},
        {"page_limit", [](const PassView& p) { return Number(p.pageLimit); }},
        {"started", [](const PassView& p) { return Text(IsoLocalTime(p.started)); }},
        {"finished", [](const PassView& p) { return Text(IsoLocalTime(p.finished)); }},
        {"pages_walked", [](const PassView& p) { return Number(p.pagesWalked); }},
        {"requests", [](const PassView& p) { return Number(p.requests); }},
        {"failed_requests", [](const PassView& p) { return Number(p.failedRequests); }},
        {"stopped", [](const PassView& p) { return Flag(p.stopped); }},
        {"clean", [](const PassView& p) { return Flag(p.clean()); }},
        // Empty (null in JSON) for a pass that no watch shared.
        {"walk_id", [](const PassView& p) { return p.walkId.empty() ? Cell() : Text(p.walkId); }},
    }};
    return columns;
}

std::string CsvCell(const Cell& cell) {
    if (const auto* text = std::get_if<std::string>(&cell))
        return base::CsvField(*text);
    if (const auto* n = std::get_if<long long>(&cell))
        return std::to_string(*n);
    if (const auto* flag = std::get_if<bool>(&cell))
        return *flag ? "1" : "0";
    return {};
}

nlohmann::ordered_json JsonCell(const Cell& cell) {
    if (const auto* text = std::get_if<std::string>(&cell))
        return *text;
    if (const auto* n = std::get_if<long long>(&cell))
        return *n;
    if (const auto* flag = std::get_if<bool>(&cell))
        return *flag;
    return nullptr;
}

std::string ResultCsvHeader() {
    std::string line;
    for (const auto& column : ResultColumns())
        line += (line.empty() ? "" : ",") + std::string(column.name);
    return line + std::string(kCsvLineEnd);
}

std::string ResultCsvLine(const ResultRow& row) {
    std::string line;
    bool first = true;
    for (const auto& column : ResultColumns()) {
        line += (first ? "" : ",") + CsvCell(column.get(row));
        first = false;
    }
    return line + std::string(kCsvLineEnd);
}

nlohmann::ordered_json ResultJson(const ResultRow& row) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    for (const auto& column : ResultColumns())
        object[std::string(column.name)] = JsonCell(column.get(row));
    return object;
}

nlohmann::ordered_json PassJson(const PassView& pass) {
    nlohmann::ordered_json object = nlohmann::ordered_json::object();
    if (pass.id != 0)
        object["pass_id"] = pass.id;
    for (const auto& column : PassColumns())
        object[std::string(column.name)] = JsonCell(column.get(pass));
    return object;
}

std::string Dumped(const nlohmann::ordered_json& value, int indent) {
    return value.dump(indent, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

} // namespace rankmoth::history
