#include "history/history_report.h"

#include <nlohmann/json.hpp>

#include <cstdio>

namespace rankmoth::history {

namespace {

// Quotes a CSV field when it needs it. A title is the marketplace's text: one that a spreadsheet would run as a
// formula is kept as text by a leading apostrophe.
std::string CsvField(const std::string& value, bool untrusted = false) {
    std::string field = value;
    if (untrusted && !field.empty() && std::string_view("=+-@\t\r").find(field.front()) != std::string_view::npos)
        field.insert(field.begin(), '\'');
    if (field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (const char c : field) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

constexpr const char* kPassCsvColumns =
    "pass_id,shop,category,sub_category,sort,page_limit,started,finished,pages_walked,requests,failed_requests,"
    "stopped,items,found";

void WritePassCsv(const PassRow& pass, std::ostream& out, bool withSort) {
    out << pass.id << ',' << CsvField(pass.shop) << ',' << CsvField(pass.category) << ','
        << CsvField(pass.subCategory, true) << ',';
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

std::string PassRemark(const PassRow& pass) {
    if (pass.stopped)
        return "stopped";
    if (pass.failedRequests > 0)
        return std::to_string(pass.failedRequests) + " failed";
    return "clean";
}

} // namespace

bool ParseReportFormat(std::string_view name, ReportFormat& format) {
    if (name == "table")
        format = ReportFormat::Table;
    else if (name == "csv")
        format = ReportFormat::Csv;
    else if (name == "json")
        format = ReportFormat::Json;
    else
        return false;
    return true;
}

void WriteExportCsv(const std::vector<ExportRow>& rows, std::ostream& out, bool withBom) {
    if (withBom)
        out << "\xEF\xBB\xBF";
    out << "item_id,title,sort,state,page,slice,zone,hits,checked_at,"
           "pass_id,shop,category,sub_category,page_limit,started,finished,pages_walked,requests,failed_requests,"
           "stopped\r\n";
    for (const ExportRow& row : rows) {
        const bool found = row.state == base::ItemState::Found;
        out << CsvField(row.itemId) << ',' << CsvField(row.title, true) << ',' << CsvField(row.pass.sort) << ','
            << base::StateName(row.state) << ',' << (found ? std::to_string(row.page) : "") << ','
            << (found ? std::to_string(row.slice) : "") << ','
            << base::ZoneName(found ? base::ZoneOfSlice(row.slice) : base::Zone::None) << ',' << row.hits << ','
            << row.checkedAt << ',';
        WritePassCsv(row.pass, out, false);
        out << "\r\n";
    }
}

int PrintHistory(HistoryStore& store, const HistoryQuery& query, ReportFormat format, std::ostream& out,
                 std::ostream& err) {
    if (query.shop.empty()) {
        err << "history: --shop is required\n";
        return 2;
    }
    if (!query.sort.empty() && SortIndex(query.sort) < 0) {
        err << "history: unknown sort \"" << query.sort << "\" (pop, hot30day or new)\n";
        return 2;
    }
    PassFilter filter{query.shop, query.itemId, query.sort, query.since};
    base::Clock::time_point ignored;
    if (query.since.size() == 10 && ParseIsoTime(query.since + "T00:00:00Z", ignored))
        filter.since = query.since + "T00:00:00Z";
    else if (!query.since.empty() && !ParseIsoTime(query.since, ignored)) {
        err << "history: --since takes a date as YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ (UTC), not \"" << query.since
            << "\"\n";
        return 2;
    }
    if (!store.isOpen()) {
        err << "history: " << (store.error().empty() ? "the history is not open" : store.error()) << '\n';
        return 1;
    }
    store.clearError();
    const std::vector<PassRow> passes = store.Passes(filter);
    if (!store.error().empty()) {
        err << "history: " << store.error() << '\n';
        return 1;
    }
    std::vector<ExportRow> results;
    if (!query.itemId.empty()) {
        for (const PassRow& pass : passes) {
            ExportRow row;
            if (store.ResultOf(pass.id, query.itemId, row))
                results.push_back(std::move(row));
        }
    }

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
    case ReportFormat::Json: {
        nlohmann::json list = nlohmann::json::array();
        if (!query.itemId.empty()) {
            for (const ExportRow& row : results) {
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
                list.push_back(std::move(record));
            }
        } else {
            for (const PassRow& pass : passes)
                list.push_back(PassJson(pass));
        }
        // Titles come from the marketplace: a broken byte must not abort the whole report.
        out << list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
        break;
    }
    case ReportFormat::Table:
        if (passes.empty()) {
            err << "history: no stored passes match\n";
            break;
        }
        if (!query.itemId.empty()) {
            out << "item " << query.itemId;
            if (!results.empty() && !results.front().title.empty())
                out << "  " << results.back().title;
            out << '\n';
            out << Padded("pass", 6) << Padded("started", 20) << Padded("sort", 8) << Padded("category", 10)
                << Padded("pass state", 10) << Padded("position", 8) << "place\n";
            for (const ExportRow& row : results) {
                const int position = PositionOf(row.state, row.page, row.slice);
                out << Padded(std::to_string(row.pass.id), 6) << Padded(row.pass.started, 20)
                    << Padded(row.pass.sort, 8) << Padded(row.pass.category, 10) << Padded(PassRemark(row.pass), 10)
                    << Padded(position > 0 ? std::to_string(position) : "-", 8)
                    << PlaceLabel(row.state, row.page, row.slice) << '\n';
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
                    << Padded(std::to_string(pass.found) + "/" + std::to_string(pass.items), 11) << pass.subCategory
                    << '\n';
        }
        break;
    }
    return 0;
}

} // namespace rankmoth::history
