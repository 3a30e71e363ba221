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

// Calls `visit` with each line of a header block: a line ends at LF, and a CR before the LF is dropped.
template <class Visit> void ForEachHeaderLine(std::string_view all, Visit visit) {
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find('\n', start);
        if (end == std::string_view::npos)
            end = all.size();
        std::string_view line = all.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        visit(line);
    }
}

} // namespace rankmoth::web
