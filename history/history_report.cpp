#include "history/history_report.h"

#include "base/safe_text.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace rankmoth::history {

namespace {

using base::CsvField;

constexpr const char* kPassCsvColumns =
    "pass_id,shop,category,sub_category,sort,page_limit,started,finished,pages_walked,requests,failed_requests,"
    "stopped,items,found";

void WritePassCsv(const PassRow& pass, std::ostream& out, bool withSort) {
    out << pass.id << ',' << CsvField(pass.shop) << ',' << CsvField(pass.category) << ',' << CsvField(pass.subCategory)
        << ',';
    if (withSort)
        out << CsvField(pass.sort) << ',';
    out << pass.pageLimit << ',' << pass.started << ',' << pass.finished << ',' << pass.pagesWalked << ','
        << pass.requests << ',' << pass.failedRequests << ',' << (pass.stopped ? 1 : 0);
}

nlohmann::json PassJson(const PassRow& pass) {
    return {{"pass_id", pass.id},
            {"shop", pass.shop},
            {"category", pass.category},
            {"sub_category", pass.subCategory},
            {"sort", pass.sort},
            {"page_limit", pass.pageLimit},
            {"started", pass.started},
            {"finished", pass.finished},
            {"pages_walked", pass.pagesWalked},
            {"requests", pass.requests},
            {"failed_requests", pass.failedRequests},
            {"stopped", pass.stopped},
            {"clean", pass.clean()},
            {"items", pass.items},
            {"found", pass.found}};
}

std::string Padded(const std::string& text, std::size_t width) {
    return text.size() >= width ? text + "  " : text + std::string(width - text.size() + 2, ' ');
}

std::string AsciiLower(std::string_view word) {
    std::string lower(word);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

// A place in the words of the other columns: "p2 upper", "not found", "incomplete".
std::string EnglishPlace(base::ItemState state, int page, int slice) {
    switch (state) {
    case base::ItemState::Found:
        break;
    case base::ItemState::NotFound:
        return "not found";
    case base::ItemState::Incomplete:
        return "incomplete";
    }
    const std::string_view zone = base::ZoneName(base::ZoneOfSlice(slice));
    return "p" + std::to_string(page) + (zone.empty() ? "" : " ") + std::string(zone);
}

std::string PassRemark(const PassRow& pass) {
    if (pass.stopped)
        return "stopped";
    if (pass.failedRequests > 0)
        return std::to_string(pass.failedRequests) + " failed";
    return "clean";
}

} // namespace

bool ParseReportFormat(std::string_view name, ReportFormat& format) {
    const std::string word = AsciiLower(name);
    if (word == "table")
        format = ReportFormat::Table;
    else if (word == "csv")
        format = ReportFormat::Csv;
    else if (word == "json")
        format = ReportFormat::Json;
    else if (word == "jsonl")
        format = ReportFormat::Jsonl;
    else
        return false;
    return true;
}

namespace {

constexpr const char* kExportCsvColumns =
    "item_id,title,sort,state,page,slice,zone,hits,checked_at,"
    "pass_id,shop,category,sub_category,page_limit,started,finished,pages_walked,requests,failed_requests,"
    "stopped\r\n";

void WriteExportRow(const ExportRow& row, std::ostream& out) {
    const bool found = row.state == base::ItemState::Found;
    out << CsvField(row.itemId) << ',' << CsvField(row.title) << ',' << CsvField(row.pass.sort) << ','
        << base::StateName(row.state) << ',' << (found ? std::to_string(row.page) : "") << ','
        << (found ? std::to_string(row.slice) : "") << ','
        << base::ZoneName(found ? base::ZoneOfSlice(row.slice) : base::Zone::None) << ',' << row.hits << ','
        << row.checkedAt << ',';
    WritePassCsv(row.pass, out, false);
    out << "\r\n";
}

} // namespace

void WriteExportCsv(const std::vector<ExportRow>& rows, std::ostream& out, bool withBom) {
    if (withBom)
        out << "\xEF\xBB\xBF";
    out << kExportCsvColumns;
    for (const ExportRow& row : rows)
        WriteExportRow(row, out);
}

base::Result<void> WriteExportCsv(Store& store, const std::string& shop, const std::string& itemId, std::ostream& out,
                                  bool withBom) {
    if (withBom)
        out << "\xEF\xBB\xBF";
    out << kExportCsvColumns;
    base::Result<void> read = store.ForEachExportRow(shop, itemId, [&out](const ExportRow& row) {
        WriteExportRow(row, out);
        return static_cast<bool>(out);
    });
    out.flush();
    if (!read)
        return read;
    if (!out)
        return base::Fail("Cannot export the history: the file cannot be written.");
    return {};
}

int CheckHistoryQuery(const HistoryQuery& query, PassFilter& filter, std::ostream& err) {
    if (query.shop.empty()) {
        err << "history: --shop is required\n";
        return 2;
    }
    // The query command's words: "all" is every sort, and letter case does not matter.
    std::string sort = AsciiLower(query.sort);
    if (sort == "all")
        sort.clear();
    if (!sort.empty() && SortIndex(sort) < 0) {
        err << "history: unknown sort \"" << query.sort << "\" (pop, hot30day, new or all)\n";
        return 2;
    }
    filter = PassFilter{query.shop, query.itemId, sort, query.since};
    base::Clock::time_point ignored;
    if (query.since.size() == 10 && ParseIsoTime(query.since + "T00:00:00Z", ignored))
        filter.since = query.since + "T00:00:00Z";
    else if (!query.since.empty() && !ParseIsoTime(query.since, ignored)) {
        err << "history: --since takes a date as YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ (UTC), not \"" << query.since
            << "\"\n";
        return 2;
    }
    return 0;
}

namespace {

nlohmann::json ResultJson(const ExportRow& row) {
    nlohmann::json record = PassJson(row.pass);
    const bool found = row.state == base::ItemState::Found;
    record["result"] = {
        {"item_id", row.itemId},
        {"title", row.title},
        {"state", base::StateName(row.state)},
        {"page", found ? nlohmann::json(row.page) : nlohmann::json()},
        {"slice", found ? nlohmann::json(row.slice) : nlohmann::json()},
        {"zone", found ? nlohmann::json(base::ZoneName(base::ZoneOfSlice(row.slice))) : nlohmann::json()},
        {"hits", row.hits},
        {"checked_at", row.checkedAt}};
    return record;
}

// Titles come from the marketplace: a broken byte must not abort the whole report, so it becomes U+FFFD.
std::string Dumped(const nlohmann::json& value, int indent) {
    return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

} // namespace

int PrintHistory(Store& store, const HistoryQuery& query, ReportFormat format, std::ostream& out, std::ostream& err) {
    PassFilter filter;
    if (const int status = CheckHistoryQuery(query, filter, err); status != 0)
        return status;
    base::Result<std::vector<PassRow>> listed = store.Passes(filter);
    if (!listed) {
        err << "history: " << listed.error() << '\n';
        return 1;
    }
    const std::vector<PassRow>& passes = listed.value();
    std::vector<ExportRow> results;
    if (!query.itemId.empty()) {
        for (const PassRow& pass : passes) {
            base::Result<std::optional<ExportRow>> row = store.ResultOf(pass.id, query.itemId);
            if (!row) {
                err << "history: " << row.error() << '\n';
                return 1;
            }
            if (row.value())
                results.push_back(std::move(*row.value()));
        }
    }

    std::vector<nlohmann::json> records;
    if (format == ReportFormat::Json || format == ReportFormat::Jsonl) {
        if (!query.itemId.empty()) {
            for (const ExportRow& row : results)
                records.push_back(ResultJson(row));
        } else {
            for (const PassRow& pass : passes)
                records.push_back(PassJson(pass));
        }
    }
    using base::TerminalSafe;
    switch (format) {
    case ReportFormat::Csv:
        if (!query.itemId.empty()) {
            WriteExportCsv(results, out, false);
        } else {
            out << kPassCsvColumns << "\r\n";
            for (const PassRow& pass : passes) {
                WritePassCsv(pass, out, true);
                out << ',' << pass.items << ',' << pass.found << "\r\n";
            }
        }
        break;
    case ReportFormat::Json:
        out << Dumped(nlohmann::json(std::move(records)), 2) << '\n';
        break;
    case ReportFormat::Jsonl:
        for (const nlohmann::json& record : records)
            out << Dumped(record, -1) << '\n';
        break;
    case ReportFormat::Table:
        if (passes.empty()) {
            err << "history: no stored passes match\n";
            break;
        }
        if (!query.itemId.empty()) {
            out << "item " << TerminalSafe(query.itemId);
            if (!results.empty() && !results.back().title.empty())
                out << "  " << TerminalSafe(results.back().title);
            out << '\n';
            out << Padded("pass", 6) << Padded("started", 20) << Padded("sort", 8) << Padded("category", 10)
                << Padded("pass state", 10) << Padded("position", 8) << "place\n";
            for (const ExportRow& row : results) {
                const int position = PositionOf(row.state, row.page, row.slice);
                out << Padded(std::to_string(row.pass.id), 6) << Padded(row.pass.started, 20)
                    << Padded(row.pass.sort, 8) << Padded(row.pass.category, 10) << Padded(PassRemark(row.pass), 10)
                    << Padded(position > 0 ? std::to_string(position) : "-", 8)
                    << EnglishPlace(row.state, row.page, row.slice) << '\n';
            }
        } else {
            out << Padded("pass", 6) << Padded("started", 20) << Padded("sort", 8) << Padded("category", 10)
                << Padded("limit", 5) << Padded("pages", 5) << Padded("requests", 8) << Padded("pass state", 10)
                << Padded("found", 11) << "sub-category\n";
            for (const PassRow& pass : passes)
                out << Padded(std::to_string(pass.id), 6) << Padded(pass.started, 20) << Padded(pass.sort, 8)
                    << Padded(pass.category, 10) << Padded(std::to_string(pass.pageLimit), 5)
                    << Padded(std::to_string(pass.pagesWalked), 5) << Padded(std::to_string(pass.requests), 8)
                    << Padded(PassRemark(pass), 10)
                    << Padded(std::to_string(pass.found) + "/" + std::to_string(pass.items), 11)
                    << TerminalSafe(pass.subCategory) << '\n';
        }
        break;
    }
    return 0;
}

} // namespace rankmoth::history
