#pragma once

#include <string>
#include <string_view>

namespace rankmoth::base {

// Marketplace text (titles, IDs, sub-categories) is written by strangers and printed where it can act: a
// spreadsheet runs a cell that looks like a formula, a terminal obeys escape sequences. Every writer of
// such text goes through these, so that no output format is left open.

// One CSV field: quoted as RFC 4180 wants when it holds a comma, a quote, CR or LF (quotes doubled). A
// field that starts with = + - @, a tab or a CR, which a spreadsheet would read as a formula, is kept text
// by a leading apostrophe and quoted.
std::string CsvField(std::string_view field);

// UTF-8 for a terminal: control characters (C0, DEL and C1) and undecodable bytes become U+FFFD, so that
// no text can move the cursor, retitle the window or ring the bell.
std::string TerminalSafe(std::string_view utf8);

// UTF-8 made safe as HTML or SVG character data and attribute values: the five markup characters become
// references, and what no parser takes (bytes that are not UTF-8, controls other than tab and line ends,
// noncharacters) becomes U+FFFD.
std::string MarkupText(std::string_view utf8);

// Whether `bytes` is well-formed UTF-8 (no overlong forms, surrogates or code points above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

} // namespace rankmoth::base
