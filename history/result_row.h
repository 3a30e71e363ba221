#pragma once

#include "base/pass_outcome.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <variant>

namespace rankmoth::history {

// The one contract every writer of results keeps, the query's output and the history's export alike: the same
// columns in the same order, one CSV quoting (base::CsvField, with its formula guard), CRLF after every CSV
// line, times as ISO 8601 local time with the offset, and one set of JSON keys.

// Json is one document (an array), Jsonl one object a line.
enum class OutputFormat { Table, Csv, Json, Jsonl };
// "table", "csv", "json" or "jsonl", in any ASCII letter case; false otherwise.
bool ParseOutputFormat(std::string_view name, OutputFormat& format);

// RFC 4180's line end, after every CSV line including the header.
inline constexpr std::string_view kCsvLineEnd = "\r\n";

// "2026-12-08T14:03:05+08:00": local time of the current time zone, with its offset to the minute.
std::string IsoLocalTime(std::time_t when);
std::string IsoLocalTime(base::Clock::time_point when);
// A stored time ("2026-12-08T06:03:05Z") in that form; the text itself when it does not parse.
std::string IsoLocalTime(std::string_view stored);

// One item's result under one sort, as printed. Text is UTF-8.
struct ResultRow {
    std::string itemId;
    std::string title;
    std::string sort;
    base::ItemState state = base::ItemState::Incomplete;
    int page = 0; // page and slice count only when found
    int slice = 0;
    int hits = 0;
    base::Clock::time_point checkedAt{};
};

// The pass a result belongs to, as printed.
struct PassView {
    std::int64_t id = 0; // 0: not stored, and not printed
    std::string shop;
    std::string category;
    std::string subCategory;
    std::string sort;
    int pageLimit = 0;
    base::Clock::time_point started{};
    base::Clock::time_point finished{};
    int pagesWalked = 0;
    int requests = 0;
    int failedRequests = 0;
    bool stopped = false;
    std::string walkId;

    bool clean() const { return !stopped && failedRequests == 0; }
};

// A cell: empty (CSV) or null (JSON), a number, a flag or text.
using Cell = std::variant<std::monostate, long long, bool, std::string>;

template <typename Row> struct Column {
    std::string_view name;
    Cell (*get)(const Row&);
};

// item_id,title,sort,state,page,slice,zone,hits,checked_at; page, slice and zone are empty unless found.
const std::array<Column<ResultRow>, 9>& ResultColumns();
// shop,category,sub_category,sort,page_limit,started,finished,pages_walked,requests,failed_requests,stopped,
// clean,walk_id; pass_id goes before them where the pass is stored.
const std::array<Column<PassView>, 13>& PassColumns();

// A cell as CSV writes it.
std::string CsvCell(const Cell& cell);
nlohmann::ordered_json JsonCell(const Cell& cell);

// The header line and one line of a result, each with its CRLF.
std::string ResultCsvHeader();
std::string ResultCsvLine(const ResultRow& row);

nlohmann::ordered_json ResultJson(const ResultRow& row);
// The pass's columns, with "pass_id" first when the pass is stored.
nlohmann::ordered_json PassJson(const PassView& pass);
// Titles come from the marketplace: a broken byte must not take the whole output down, so it becomes U+FFFD.
std::string Dumped(const nlohmann::ordered_json& value, int indent = -1);

} // namespace rankmoth::history
