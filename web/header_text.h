#pragma once

#include <string_view>

namespace rankmoth::web {

// Header fields and cookie attributes are padded with blanks and tabs, never with other white space.
inline std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace rankmoth::web
