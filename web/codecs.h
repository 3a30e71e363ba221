#pragma once

#include "base/text.h"
#include "base/utf8_gbk.h"

#include <string>
#include <string_view>

namespace rankmoth::base {
class EventPump;
}

namespace rankmoth::web {

using base::GbkToUtf8;
using base::Utf8ToGbk;
// Big5 to GBK in simplified characters, byte length kept. The text ends at the first character without a
// GBK form.
Text Big5ToSimplifiedGbk(std::string_view big5);

// Percent-encodes the UTF-8 form of `text`. With keepSafe, the bytes , - . / 0-9 A-Z a-z stay as they
// are. Pending events are dispatched once per byte when a pump is given.
std::string UrlEncode(const Text& text, bool keepSafe, base::EventPump* pump = nullptr);

// Decodes the escapes of JSON page fragments (\uXXXX, %uXXXX, %XX, backslash escapes) as a single-quoted
// script string literal run through unescape() would; empty when the text cannot be read as such a literal.
Text DecodeEscapes(const Text& text);

// The text between `left` and `right`; "#引号" in a marker stands for a double quote. Empty when either
// marker is missing.
Text TextBetween(const Text& text, const Text& left, const Text& right, bool caseSensitive = false);

} // namespace rankmoth::web
