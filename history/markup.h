#pragma once

#include <string>
#include <string_view>

namespace rankmoth::history {

// UTF-8 text made safe as HTML or SVG character data and attribute values: the five markup characters become
// references, and what no parser takes (bytes that are not UTF-8, controls other than tab and line ends,
// noncharacters) becomes U+FFFD. Titles and IDs come from shops' feeds, so nothing about them is trusted.
std::string Markup(std::string_view utf8);

} // namespace rankmoth::history
