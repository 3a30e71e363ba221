#pragma once

#include "history/history_store.h"

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace rankmoth::history {

// Json is one document (an array), Jsonl one object a line.
enum class ReportFormat { Table, Csv, Json, Jsonl };
// "table", "csv", "json" or "jsonl", in any letter case; false otherwise.
bool ParseReportFormat(std::string_view name, ReportFormat& format);

// `history --shop ID [--item ID] [--sort S] [--since DATE]`.
struct HistoryQuery {
    std::string shop;
    std::string itemId;
    std::string sort;  // one of kSorts or "all" (any letter case), or empty for all
    std::string since; // YYYY-MM-DD or a full IsoTime, UTC; empty for all time
};

// 0 when the query can be run, with its filter; otherwise 2 and the reason on `err`.
int CheckHistoryQuery(const HistoryQuery& query, PassFilter& filter, std::ostream& err);

// Prints the stored passes that match, one line (or record) each; with an item, its place in each pass.
// Times are ISO 8601 in UTC ("2026-12-08T06:03:05Z"), as stored; the table's cells are English ("p1 upper",
// "not found", "incomplete") and safe for a terminal. Returns the exit code: 0 done (also when nothing matched),
// 1 the store failed, 2 a bad sort or date. Messages go to `err`.
int PrintHistory(Store& store, const HistoryQuery& query, ReportFormat format, std::ostream& out, std::ostream& err);

// The export's CSV, UTF-8: the CLI's result columns item_id,title,sort,state,page,slice,zone,hits,checked_at then
// the pass's. `withBom` puts the byte-order mark spreadsheet programs need to read Chinese.
void WriteExportCsv(const std::vector<ExportRow>& rows, std::ostream& out, bool withBom);
// The same, streamed from the store for a whole shop (empty `itemId`) or one item. Fails, saying why, when the
// store failed or the stream could not be written: the export is then incomplete.
base::Result<void> WriteExportCsv(Store& store, const std::string& shop, const std::string& itemId, std::ostream& out,
                                  bool withBom);

} // namespace rankmoth::history
