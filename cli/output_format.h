#pragma once

#include "base/pass_outcome.h"
#include "base/safe_text.h"
#include "history/result_row.h"

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace rankmoth::cli {

// Text-level formatting of pass outcomes. Every string here is UTF-8; titles are converted from the
// engine's GBK on the way out.

using base::CsvField;

// The word for a kind of failure in JSON: "refused", "unresolved", "deadline", "cut_off", "http_status",
// "too_large", "stopped", "not_answer", "other".
std::string_view FailureKindName(base::FailureKind kind);

using history::IsoLocalTime;

// Terminal columns a UTF-8 string takes: East Asian wide and full-width characters count two, combining
// marks none, anything undecodable one per byte.
int DisplayWidth(std::string_view utf8);
// At most `columns` wide, cut on a character boundary with "…" when it had to be cut.
std::string FitWidth(std::string_view utf8, int columns);

// An item of a pass in the columns every result writer shares (history::ResultColumns).
history::ResultRow ResultOf(const base::PassOutcome& pass, const base::ItemResult& item);
history::PassView PassViewOf(const base::PassOutcome& pass);

// One CSV line (with its CRLF) per item of a pass.
std::string CsvRow(const base::PassOutcome& pass, const base::ItemResult& item);

// One JSON object per pass, on one line without its line end: the pass's columns (history::PassColumns), the
// failed requests by kind ("failures": [{"kind", "reason", "count"}]) and every item ("items").
std::string PassJson(const base::PassOutcome& pass);

// One line per kind of failure over the passes of a run, with the first reason seen and how many requests
// failed that way: "11 requests failed: connection refused".
std::vector<std::string> FailureLines(const std::vector<base::PassOutcome>& passes);

// The table for people: aligned columns over every pass, then the one-line summary. Marketplace text in it
// is made safe for a terminal.
std::string PassTable(const std::vector<base::PassOutcome>& passes);
// The table's aligned rows alone.
std::string PassRows(const std::vector<base::PassOutcome>& passes);
std::string PassSummary(const std::vector<base::PassOutcome>& passes);

} // namespace rankmoth::cli
