#pragma once

#include "base/result.h"
#include "history/history_report.h"
#include "history/history_store.h"
#include "history/shop_comparison.h"

#include <cstddef>
#include <string>

namespace rankmoth::history {

// One shop's history as a single HTML page to send to a team or a client: everything inline (style and SVG,
// no script, no address of anything), readable offline, in a mail, and printed on A4.
struct ReportOptions {
    std::string shop; // UTF-8
    Period period;
    std::size_t movers = 10;       // of each kind, per comparison
    std::size_t stripColumns = 60; // a zone strip's columns before passes share one
    base::Clock::time_point generatedAt{};
};

struct ReportFigures {
    std::size_t passes = 0; // in the period; 0 writes nothing
    std::size_t items = 0;  // drawn
    std::size_t listings = 0; // compared with other shops of a watch
};

// Writes the report a piece at a time, reading one item's timeline at a time, so that a history of any size
// is written in the same memory (the item sections wait in an unnamed temporary file while the movers, which
// head the page, are gathered). Fails when the store cannot be read or `write` takes no more.
base::Result<ReportFigures> WriteReport(Store& store, const ReportOptions& options, const TextSink& write);

// The report's file name when none is given: rankmoth-<shop>-<YYYY-MM-DD>.html, the shop made safe for a file
// name on every system the file may be sent to.
std::string DefaultReportName(const std::string& shop, base::Clock::time_point day);

} // namespace rankmoth::history
