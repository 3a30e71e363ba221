#pragma once

#include "base/text.h"

#include <vector>

namespace rankmoth::web {

// The pure halves of NoticeText, apart from the network so that they can be tested and fuzzed alone.

// The payload of a notice page body: the body as text (from UTF-8 when fromUtf8 is 1, where any invalid
// sequence gives empty text), then the part between "开始喽" and "结束喽".
Text NoticePayloadOf(const Bytes& body, int fromUtf8);

// Splits a payload at every "|" into `fields` and returns the payload. Every piece before a "|" is a field,
// empty ones included; the piece after the last "|" only when it is not empty. A payload without "|" gives
// empty text and leaves `fields` as it was.
Text SplitNoticePayload(const Text& payload, std::vector<Text>& fields);

// The text from after `left` up to the next `right`, both searched with case; empty when either is absent.
Text NoticeBetween(const Text& text, const Text& left, const Text& right);

// UTF-8 to GBK, refusing malformed input instead of replacing it: false and empty `out` then.
// A well-formed character without a GBK form still becomes "?".
bool StrictUtf8ToGbk(std::string_view utf8, Text& out);

} // namespace rankmoth::web
