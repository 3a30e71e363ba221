#pragma once

#include "history/report_model.h"
#include "history/shop_comparison.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rankmoth::history {

// The shared report's drawings, as inline SVG in user units 600 wide, scaled by the page. They take their
// classes from the report's style sheet, so each drawing carries only its geometry.

// The element that defines the hatching of incomplete cells, once per document, before any drawing uses it.
std::string HatchDefinition();

// One row per sort, as the history page draws it; at most `maxColumns` columns a row. `perColumn` is set to
// the number of passes the widest row's columns stand for.
std::string ZoneStripSvg(const std::vector<TimelineRow>& rows, std::size_t maxColumns, std::size_t& perColumn);

// The sorts' position lines over [first, last], the axis reversed (position 1 on top) and zoomed to the worst
// position reached, misses and incomplete passes on a band below it.
std::string SparklineSvg(const std::vector<ChartPlan>& plans, base::Clock::time_point first,
                         base::Clock::time_point last);

// The listing's shops' shares of visibility over time, stacked from the compared shop up, coloured as
// `colours` (one per shop).
std::string ShareChartSvg(const ListingVisibility& listing, const std::vector<std::uint32_t>& colours);

// The colours of a comparison's shops: the compared shop's strong, the others' muted.
std::vector<std::uint32_t> ShopColours(std::size_t shops);

// A colour as CSS writes it: "#2e9d4f".
std::string CssColour(std::uint32_t rgb);

} // namespace rankmoth::history
