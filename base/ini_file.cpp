#include "base/ini_file.h"

#include <vector>

namespace rankmoth::base {

namespace {

// Blanks as the profile reader trims them: white space, CR and the DOS end-of-file mark.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x + ('a' - 'A'));
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y + ('a' - 'A'));
        if (x != y)
            return false;
    }
    return true;
}

struct Line {
    std::size_t begin = 0; // first byte of the line
    std::size_t end = 0;   // first byte of its line end (or the file's end)
    std::size_t next = 0;  // first byte of the following line
    enum Kind { Blank, Section, Entry, Other } kind = Blank;
    std::string_view name;    // section name or key, trimmed
    std::string_view value;   // entry value, trimmed
    std::size_t keyBegin = 0; // where the key starts, for rewriting the line
};

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::vector<Line> SplitLines(std::string_view file) {
    std::vector<Line> lines;
    std::size_t pos = file.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
    while (pos < file.size()) {
        Line line;
        line.begin = pos;
        const std::size_t lf = file.find('\n', pos);
        line.next = lf == std::string_view::npos ? file.size() : lf + 1;
        line.end = lf == std::string_view::npos ? file.size() : lf;
        if (line.end > line.begin && file[line.end - 1] == '\r')
            --line.end;
        pos = line.next;
        std::string_view text = file.substr(line.begin, line.end - line.begin);
        std::size_t lead = 0;
        while (lead < text.size() && IsBlank(text[lead]))
            ++lead;
        const std::string_view body = Trim(text);
        if (body.empty()) {
            line.kind = Line::Blank;
        } else if (body.front() == '[') {
            const std::size_t close = body.rfind(']');
            if (close == std::string_view::npos || close == 0) {
                line.kind = Line::Other;
            } else {
                line.kind = Line::Section;
                line.name = Trim(body.substr(1, close - 1));
            }
        } else {
            const std::size_t eq = body.find('=');
            line.kind = Line::Entry;
            line.keyBegin = line.begin + lead;
            if (eq == std::string_view::npos) {
                // A line without "=" is a key without a value, as the platform reads it.
                line.name = body;
            } else {
                line.name = Trim(body.substr(0, eq));
                line.value = Trim(body.substr(eq + 1));
            }
        }
        lines.push_back(line);
    }
    return lines;
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

struct Found {
    long sectionLine = -1; // the first section of that name
    long keyLine = -1;
};

Found Locate(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
    Found found;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == Line::Section) {
            inSection = EqualsNoCase(line.name, section);
            if (inSection && found.sectionLine < 0)
                found.sectionLine = static_cast<long>(i);
        } else if (inSection && line.kind == Line::Entry && EqualsNoCase(line.name, key)) {
            found.keyLine = static_cast<long>(i);
            return found;
        }
    }
    return found;
}

std::string_view LineEndOf(std::string_view file) {
    const std::size_t lf = file.find('\n');
    if (lf != std::string_view::npos && lf > 0 && file[lf - 1] == '\r')
        return "\r\n";
    if (lf != std::string_view::npos)
        return "\n";
    return "\r\n";
}

} // namespace

std::optional<IniEntry> IniFind(std::string_view file, std::string_view section, std::string_view key) {
    section = Trim(section);
    key = Trim(key);
    const auto lines = SplitLines(file);
    const Found found = Locate(lines, section, key);
    if (found.keyLine < 0)
        return std::nullopt;
    return IniEntry{std::string(Unquote(lines[static_cast<std::size_t>(found.keyLine)].value)),
                    static_cast<int>(found.keyLine) + 1};
}

std::optional<std::string> IniLookup(std::string_view file, std::string_view section, std::string_view key) {
    auto entry = IniFind(file, section, key);
    if (!entry)
        return std::nullopt;
    return std::move(entry->value);
}

std::string IniWithValue(std::string_view file, std::string_view section, std::string_view key,
                         std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    const auto lines = SplitLines(file);
    const Found found = Locate(lines, section, key);
    const std::string_view eol = LineEndOf(file);
    std::string out;
    out.reserve(file.size() + section.size() + key.size() + value.size() + 8);
    if (found.keyLine >= 0) {
        // The key keeps its spelling and its indentation; only what follows it is new.
        const Line& line = lines[static_cast<std::size_t>(found.keyLine)];
        out.append(file.substr(0, line.keyBegin));
        out.append(line.name);
        out += '=';
        out.append(value);
        out.append(file.substr(line.end));
        return out;
    }
    if (found.sectionLine >= 0) {
        // After the last non-blank line of the section, so that blank lines keep separating sections.
        std::size_t last = static_cast<std::size_t>(found.sectionLine);
        for (std::size_t i = last + 1; i < lines.size() && lines[i].kind != Line::Section; ++i) {
            if (lines[i].kind != Line::Blank)
                last = i;
        }
        const Line& after = lines[last];
        out.append(file.substr(0, after.next));
        if (after.next == file.size() && file.back() != '\n')
            out.append(eol); // the file ended without a line end
        out.append(key);
        out += '=';
        out.append(value);
        out.append(eol);
        out.append(file.substr(after.next));
        return out;
    }
    out.append(file);
    if (!file.empty() && file.back() != '\n' && file != kByteOrderMark)
        out.append(eol);
    out += '[';
    out.append(section);
    out += ']';
    out.append(eol);
    out.append(key);
    out += '=';
    out.append(value);
    out.append(eol);
    return out;
}

} // namespace rankmoth::base
