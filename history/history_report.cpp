#include "history/history_report.h"

#include "base/safe_text.h"

namespace rankmoth::history {

namespace {

base::Clock::time_point Parsed(const std::string& stored) {
    base::Clock::time_point at{};
    ParseIsoTime(stored, at);
    return at;
}

std::string Padded(const std::string& text, std::size_t width) {
    return text.size() >= width ? text + "  " : text + std::string(width - text.size() + 2, ' ');
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

// pass_id and the pass's columns but its sort, which the result columns already hold.
std::string ExportPassCells(const PassRow& pass) {
    const PassView view = PassViewOf(pass);
    std::string cells = std::to_string(pass.id);
    for (const auto& column : PassColumns()) {
        if (column.name != "sort")
            cells += "," + CsvCell(column.get(view));
    }
    return cells;
}

std::string ExportCsvHeader() {
    std::string line = ResultCsvHeader();
    line.resize(line.size() - kCsvLineEnd.size());
    line += ",pass_id";
    for (const auto& column : PassColumns()) {
        if (column.name != "sort")
            line += "," + std::string(column.name);
    }
    return line + std::string(kCsvLineEnd);
}

std::string ExportCsvLine(const ExportRow& row) {
    std::string line = ResultCsvLine(ResultOf(row));
    line.resize(line.size() - kCsvLineEnd.size());
    return line + "," + ExportPassCells(row.pass) + std::string(kCsvLineEnd);
}

// A pass without its results: its columns, then how many items it looked for and found.
std::string PassCsvHeader() {
    std::string line = "pass_id";
    for (const auto& column : PassColumns())
        line += "," + std::string(column.name);
    return line + ",item_count,found_count" + std::string(kCsvLineEnd);
}

std::string PassCsvLine(const PassRow& pass) {
    const PassView view = PassViewOf(pass);
    std::string line = std::to_string(pass.id);
    for (const auto& column : PassColumns())
        line += "," + CsvCell(column.get(view));
    return line + "," + std::to_string(pass.items) + "," + std::to_string(pass.found) + std::string(kCsvLineEnd);
}

nlohmann::ordered_json PassRecord(const PassRow& pass) {
    nlohmann::ordered_json record = PassJson(PassViewOf(pass));
    record["item_count"] = pass.items;
    record["found_count"] = pass.found;
    return record;
}

nlohmann::ordered_json ResultRecord(const ExportRow& row) {
    nlohmann::ordered_json record = PassJson(PassViewOf(row.pass));
    record["result"] = ResultJson(ResultOf(row));
    return record;
}

// Writes one record in `format`; `first` is whether it opens the output.
bool WriteRecord(const TextSink& write, OutputFormat format, const nlohmann::ordered_json& record, bool first) {
    if (format == OutputFormat::Jsonl)
        return write(Dumped(record) + "\n");
    // One document, yet written record by record: the array is opened before the first and closed after the last.
    return write((first ? "[\n" : ",\n") + Dumped(record, 2));
}

} // namespace

ResultRow ResultOf(const ExportRow& row) {
    return {row.itemId, row.title, row.pass.sort, row.state, row.page, row.slice, row.hits, Parsed(row.checkedAt)};
}

PassView PassViewOf(const PassRow& pass) {
    return {pass.id,          pass.shop,      pass.category,        pass.subCategory,
            pass.sort,        pass.pageLimit, Parsed(pass.started), Parsed(pass.finished),
            pass.pagesWalked, pass.requests,  pass.failedRequests,  pass.stopped,
            pass.walkId};
}

base::Result<std::size_t> PrintResults(Store& store, const PassFilter& filter, OutputFormat format,
                                       const TextSink& write) {
    if (format == OutputFormat::Table)
        return base::Fail("--results prints csv, json or jsonl");
    if (format == OutputFormat::Csv && !write(ExportCsvHeader()))
        return std::size_t{0};
    std::size_t written = 0;
    bool open = true;
    const base::Result<void> read = store.ForEachExportRow(filter.shop, filter.itemId, [&](const ExportRow& row) {
        if ((!filter.sort.empty() && row.pass.sort != filter.sort) ||
            (!filter.since.empty() && row.pass.started < filter.since))
            return true;
        open = format == OutputFormat::Csv ? write(ExportCsvLine(row))
                                           : WriteRecord(write, format, ResultRecord(row), written == 0);
        written += open;
        return open;
    });
    if (open && format == OutputFormat::Json)
        write(written == 0 ? "[]\n" : "\n]\n");
    if (!read)
        return base::Fail(read.error());
    return written;
}

base::Result<void> WriteExportCsv(Store& store, const std::string& shop, const std::string& itemId, std::ostream& out,
                                  bool withBom) {
    if (withBom)
        out << "\xEF\xBB\xBF";
    out << ExportCsvHeader();
    base::Result<void> read = store.ForEachExportRow(shop, itemId, [&out](const ExportRow& row) {
        out << ExportCsvLine(row);
        return static_cast<bool>(out);
    });
    out.flush();
    if (!read)
        return read;
    if (!out)
        return base::Fail("Cannot export the history: the file cannot be written.");
    return {};
}

base::Result<PassFilter> CheckHistoryQuery(const HistoryQuery& query) {
    if (query.shop.empty())
        return base::Fail("--shop is required");
    // The query command's words: "all" is every sort, and letter case does not matter.
    std::string sort = query.sort;
    for (char& c : sort) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    if (sort == "all")
        sort.clear();
    if (!sort.empty() && SortIndex(sort) < 0)
        return base::Fail("unknown sort \"" + query.sort + "\" (pop, hot30day, new or all)");
    PassFilter filter{query.shop, query.itemId, sort, query.since};
    base::Clock::time_point ignored;
    if (query.since.size() == 10 && ParseIsoTime(query.since + "T00:00:00Z", ignored))
        filter.since = query.since + "T00:00:00Z";
    else if (!query.since.empty() && !ParseIsoTime(query.since, ignored))
        return base::Fail("--since takes a date as YYYY-MM-DD or YYYY-MM-DDTHH:MM:SSZ (UTC), not \"" + query.since +
                          "\"");
    return filter;
}

base::Result<std::size_t> PrintHistory(Store& store, const PassFilter& filter, OutputFormat format,
                                       const TextSink& write) {
    base::Result<std::vector<PassRow>> listed = store.Passes(filter);
    if (!listed)
        return base::Fail(listed.error());
    const std::vector<PassRow>& passes = listed.value();
    const bool json = format == OutputFormat::Json || format == OutputFormat::Jsonl;
    using base::TerminalSafe;
    bool open = true; // the output still takes text
    std::size_t written = 0;
    const auto emit = [&](const std::string& text) { return open = open && write(text); };

    if (filter.itemId.empty()) {
        if (format == OutputFormat::Csv)
            emit(PassCsvHeader());
        if (format == OutputFormat::Table && !passes.empty())
            emit(Padded("pass", 6) + Padded("started", 25) + Padded("sort", 8) + Padded("category", 10) +
                 Padded("limit", 5) + Padded("pages", 5) + Padded("requests", 8) + Padded("pass state", 10) +
                 Padded("found", 11) + "sub-category\n");
        for (const PassRow& pass : passes) {
            if (!open)
                break;
            if (json)
                open = WriteRecord(write, format, PassRecord(pass), written == 0);
            else if (format == OutputFormat::Csv)
                emit(PassCsvLine(pass));
            else
                emit(Padded(std::to_string(pass.id), 6) + Padded(IsoLocalTime(pass.started), 25) +
                     Padded(pass.sort, 8) + Padded(pass.category, 10) + Padded(std::to_string(pass.pageLimit), 5) +
                     Padded(std::to_string(pass.pagesWalked), 5) + Padded(std::to_string(pass.requests), 8) +
                     Padded(PassRemark(pass), 10) +
                     Padded(std::to_string(pass.found) + "/" + std::to_string(pass.items), 11) +
                     TerminalSafe(pass.subCategory) + "\n");
            ++written;
        }
    } else {
        if (format == OutputFormat::Csv)
            emit(ExportCsvHeader());
        for (const PassRow& pass : passes) {
            if (!open)
                break;
            base::Result<std::optional<ExportRow>> result = store.ResultOf(pass.id, filter.itemId);
            if (!result)
                return base::Fail(result.error());
            if (!result.value())
                continue;
            const ExportRow& row = *result.value();
            if (json) {
                open = WriteRecord(write, format, ResultRecord(row), written == 0);
            } else if (format == OutputFormat::Csv) {
                emit(ExportCsvLine(row));
            } else {
                if (written == 0)
                    emit("item " + TerminalSafe(filter.itemId) +
                         (row.title.empty() ? "" : "  " + TerminalSafe(row.title)) + "\n" + Padded("pass", 6) +
                         Padded("started", 25) + Padded("sort", 8) + Padded("category", 10) + Padded("pass state", 10) +
                         Padded("position", 8) + "place\n");
                const int position = PositionOf(row.state, row.page, row.slice);
                emit(Padded(std::to_string(row.pass.id), 6) + Padded(IsoLocalTime(row.pass.started), 25) +
                     Padded(row.pass.sort, 8) + Padded(row.pass.category, 10) + Padded(PassRemark(row.pass), 10) +
                     Padded(position > 0 ? std::to_string(position) : "-", 8) +
                     EnglishPlace(row.state, row.page, row.slice) + "\n");
            }
            ++written;
        }
    }
    if (format == OutputFormat::Json)
        emit(written == 0 ? "[]\n" : "\n]\n");
    return passes.size();
}

} // namespace rankmoth::history
