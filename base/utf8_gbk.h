#pragma once

#include "base/text.h"

#include <string>
#include <string_view>

namespace rankmoth::base {

// UTF-8 bytes (ending at their first zero byte) to GBK; characters without a GBK form become "?", and so
// does each malformed sequence.
Text Utf8ToGbk(std::string_view utf8);
// GBK to UTF-8; invalid GBK sequences become U+FFFD.
std::string GbkToUtf8(const Text& text);

} // namespace rankmoth::base
