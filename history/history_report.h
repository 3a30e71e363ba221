#pragma once

#include "history/history_store.h"
#include "history/result_row.h"

#include <cstddef>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>

namespace rankmoth::history {

// `history --shop ID [--item ID] [--sort S] [--since DATE]`.
struct HistoryQuery {
    std::string shop;
    std::string itemId;
    std::string sort;  // a key of base::kSortTable or "all" (any letter case), or empty for all
    std::string since; // YYYY-MM-DD or a full IsoTime, UTC; empty for all time
};

// The filter of a query that can be run; otherwise why it cannot.
base::Result<PassFilter> CheckHistoryQuery(const HistoryQuery& query);

// The stored rows in the columns every result writer shares.
ResultRow ResultOf(const ExportRow& row);
PassView PassViewOf(const PassRow& pass);

// Takes the output a piece at a time; false when it can take no more (the rest is then not written).
using TextSink = std::function<bool(std::string_view)>;

// Prints the stored passes that match, one line (or record) each as it is read; with an item, its place in
// each pass (in CSV, the export's lines). The table's cells are English ("p1 upper", "not found", "incomplete") and
// safe for a terminal. The number of passes that matched, or why the store could not be read.
base::Result<std::size_t> PrintHistory(Store& store, const PassFilter& filter, OutputFormat format,
                                       const TextSink& write);

// Every result of every pass that matches, one at a time as the store reads it, so that a history of any size
// is written in the same memory: in CSV the export's lines, in JSON and JSONL each pass's columns with its
// "result". Table is refused: this is data for programs. The number of results written.
base::Result<std::size_t> PrintResults(Store& store, const PassFilter& filter, OutputFormat format,
                                       const TextSink& write);

// The export's CSV, UTF-8, streamed from the store for a whole shop (empty `itemId`) or one item: the result
// columns, then pass_id and the pass's other columns. `withBom` puts the byte-order mark spreadsheet programs
// need to read Chinese. Fails, saying why, when the store failed or the stream could not be written: the
// export is then incomplete.
base::Result<void> WriteExportCsv(Store& store, const std::string& shop, const std::string& itemId, std::ostream& out,
                                  bool withBom);

} // namespace rankmoth::history
