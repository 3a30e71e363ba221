#pragma once

#include "base/pass_outcome.h"

#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace rankmoth::cli {

// Text-level formatting of pass outcomes. Every string here is UTF-8; titles are converted from the
// engine's GBK on the way out.

// One CSV field as RFC 4180 wants it: quoted (quotes doubled) when it holds a comma, a quote, CR or LF.
std::string CsvField(std::string_view field);

// "2026-12-08T14:03:05+08:00": local time of the current time zone, with its offset to the minute.
std::string IsoLocalTime(std::time_t when);
std::string IsoLocalTime(base::Clock::time_point when);

// Terminal columns a UTF-8 string takes: East Asian wide and full-width characters count two, combining
// marks none, anything undecodable one per byte.
int DisplayWidth(std::string_view utf8);
// At most `columns` wide, cut on a character boundary with "…" when it had to be cut.
std::string FitWidth(std::string_view utf8, int columns);

inline constexpr std::string_view kCsvHeader = "item_id,title,sort,state,page,slice,zone,hits,checked_at";

// One CSV line (with its "\n") per item of a pass.
std::string CsvRow(const base::PassOutcome& pass, const base::ItemResult& item);

// One JSON object per pass, on one line: the request, start and end, the totals and every item.
std::string PassJson(const base::PassOutcome& pass);

// The table for people: aligned columns over every pass, then the one-line summary.
std::string PassTable(const std::vector<base::PassOutcome>& passes);
std::string PassSummary(const std::vector<base::PassOutcome>& passes);

} // namespace rankmoth::cli
