#include "base/text.h"

#include "base/utf8_gbk.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace rankmoth {

namespace {

constexpr unsigned char kFullWidthLead = 0xA1;

bool IsLeadByte(unsigned char byte) { return byte >= 0x80; }

unsigned char LowerAscii(unsigned char byte) { return (byte >= 'A' && byte <= 'Z') ? byte + ('a' - 'A') : byte; }

bool MatchesAt(const std::string& text, std::size_t at, const std::string& part, bool caseSensitive) {
    if (at + part.size() > text.size())
        return false;
    if (caseSensitive)
        return std::memcmp(text.data() + at, part.data(), part.size()) == 0;
    for (std::size_t i = 0; i < part.size(); ++i) {
        if (LowerAscii(static_cast<unsigned char>(text[at + i])) != LowerAscii(static_cast<unsigned char>(part[i])))
            return false;
    }
    return true;
}

// Where a walk through the text lands when it starts at byte 0 and steps two bytes at a lead byte, one
// otherwise: the character starts that a match must begin on. `known` is such a start at or before `to`; the
// result is the first one at or after `to`.
//
// Walking from `known` costs the whole distance, which made every search from a late position cost as much
// as the text before it. The byte after any byte below 0x80 always starts a character (after a lone byte as
// well as after the trail of a pair), so the walk need only begin behind the run of lead-range bytes that
// ends at `to`: a search costs the length of that run, not its distance from the start.
std::size_t CharacterStartFrom(const std::string& text, std::size_t known, std::size_t to) {
    std::size_t i = to;
    while (i > known && IsLeadByte(static_cast<unsigned char>(text[i - 1])))
        --i;
    while (i < to)
        i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
    return i;
}

// 0-based index of the first match at or after `from` and before `before` that starts on a character
// boundary, or npos. A match that starts before `before` may run on past it.
std::size_t FindIndex(const std::string& text, const std::string& part, std::size_t from, bool caseSensitive,
                      std::size_t before = std::string::npos) {
    if (part.empty() || part.size() > text.size() || before == 0)
        return std::string::npos;
    const std::size_t last = std::min(text.size() - part.size(), before - 1);
    std::size_t i = CharacterStartFrom(text, 0, from);
    if (caseSensitive) {
        while (i <= last) {
            // Jump with memchr to the next candidate, then find the character start at or after it.
            const void* hit = std::memchr(text.data() + i, part[0], last - i + 1);
            if (!hit)
                return std::string::npos;
            const std::size_t candidate = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
            i = CharacterStartFrom(text, i, candidate);
            if (i == candidate && MatchesAt(text, i, part, true))
                return i;
            if (i == candidate)
                i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
        }
        return std::string::npos;
    }
    for (; i <= last; i += IsLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1) {
        if (MatchesAt(text, i, part, false))
            return i;
    }
    return std::string::npos;
}

bool SpaceAt(const std::string& s, std::size_t i) {
    if (s[i] == ' ')
        return true;
    return i + 1 < s.size() && static_cast<unsigned char>(s[i]) == kFullWidthLead &&
           static_cast<unsigned char>(s[i + 1]) == kFullWidthLead;
}

} // namespace

Text::Text(std::string_view gbkBytes) {
    const auto zero = gbkBytes.find('\0');
    bytes_.assign(gbkBytes.substr(0, zero));
}

Text Text::FromUtf8(std::string_view utf8) { return base::Utf8ToGbk(utf8); }

std::string Text::ToUtf8() const { return base::GbkToUtf8(*this); }

Text& Text::operator+=(const Text& other) {
    bytes_ += other.bytes_;
    return *this;
}

int Find(const Text& text, const Text& part, int start, bool caseSensitive) {
    if (start < 1)
        start = 1;
    if (static_cast<std::size_t>(start) > text.size())
        return -1;
    const auto at = FindIndex(text.bytes(), part.bytes(), static_cast<std::size_t>(start - 1), caseSensitive);
    return at == std::string::npos ? -1 : static_cast<int>(at) + 1;
}

int FindBefore(const Text& text, const Text& part, int start, int end, bool caseSensitive) {
    if (start < 1)
        start = 1;
    if (static_cast<std::size_t>(start) > text.size() || end <= start)
        return -1;
    const auto at = FindIndex(text.bytes(), part.bytes(), static_cast<std::size_t>(start - 1), caseSensitive,
                              static_cast<std::size_t>(end - 1));
    return at == std::string::npos ? -1 : static_cast<int>(at) + 1;
}

bool Contains(const Text& text, const Text& part, bool caseSensitive) {
    return Find(text, part, 1, caseSensitive) > 0;
}

Text Left(const Text& text, int length) {
    if (length <= 0)
        return {};
    return Text(std::string_view(text.bytes()).substr(0, static_cast<std::size_t>(length)));
}

Text Right(const Text& text, int length) {
    if (length <= 0)
        return {};
    const auto n = std::min(text.size(), static_cast<std::size_t>(length));
    return Text(std::string_view(text.bytes()).substr(text.size() - n));
}

Text Mid(const Text& text, int start, int length) {
    if (start < 1)
        start = 1;
    if (length <= 0 || static_cast<std::size_t>(start) > text.size())
        return {};
    return Text(std::string_view(text.bytes()).substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length)));
}

Text MidToEnd(const Text& text, int start) {
    if (start < 1)
        start = 1;
    if (static_cast<std::size_t>(start) > text.size())
        return {};
    return Text(std::string_view(text.bytes()).substr(static_cast<std::size_t>(start - 1)));
}

namespace {
Text Replace(const Text& text, const Text& from, const Text& to, bool caseSensitive, bool all) {
    if (from.empty())
        return text;
    const std::string& s = text.bytes();
    std::string out;
    out.reserve(s.size());
    std::size_t pos = 0;
    while (true) {
        const auto at = FindIndex(s, from.bytes(), pos, caseSensitive);
        if (at == std::string::npos)
            break;
        out.append(s, pos, at - pos);
        out += to.bytes();
        pos = at + from.size();
        if (!all)
            break;
    }
    out.append(s, pos, std::string::npos);
    return Text(out);
}
} // namespace

Text ReplaceAll(const Text& text, const Text& from, const Text& to, bool caseSensitive) {
    return Replace(text, from, to, caseSensitive, true);
}

Text ReplaceFirst(const Text& text, const Text& from, const Text& to, bool caseSensitive) {
    return Replace(text, from, to, caseSensitive, false);
}

Text TrimLeftSpaces(const Text& text) {
    const std::string& s = text.bytes();
    std::size_t i = 0;
    while (i < s.size() && SpaceAt(s, i))
        i += s[i] == ' ' ? 1 : 2;
    return Text(std::string_view(s).substr(i));
}

Text TrimRightSpaces(const Text& text) {
    const std::string& s = text.bytes();
    // Walk forward so that a trailing A1 A1 is only taken when it is a whole character.
    std::size_t keep = 0;
    std::size_t i = 0;
    while (i < s.size()) {
        const bool space = SpaceAt(s, i);
        const std::size_t width = (s[i] == ' ') ? 1 : (IsLeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1);
        i += width;
        if (!space)
            keep = std::min(i, s.size());
    }
    return Text(std::string_view(s).substr(0, keep));
}

Text TrimSpaces(const Text& text) { return TrimRightSpaces(TrimLeftSpaces(text)); }

Text RemoveAllSpaces(const Text& text) {
    const std::string& s = text.bytes();
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        if (SpaceAt(s, i)) {
            i += s[i] == ' ' ? 1 : 2;
            continue;
        }
        const std::size_t width = IsLeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1;
        out.append(s, i, width);
        i += width;
    }
    return Text(out);
}

Text ToLowerAscii(const Text& text) {
    std::string s = text.bytes();
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto byte = static_cast<unsigned char>(s[i]);
        if (IsLeadByte(byte)) {
            ++i;
            continue;
        }
        s[i] = static_cast<char>(LowerAscii(byte));
    }
    return Text(s);
}

long long IntegerOf(const Text& text) {
    // Fold full-width forms first: A3 A1..A3 FE are U+FF01..U+FF5E, A1 A1 the ideographic space.
    const std::string& s = text.bytes();
    std::string folded;
    folded.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto byte = static_cast<unsigned char>(s[i]);
        if (IsLeadByte(byte) && i + 1 < s.size()) {
            const auto trail = static_cast<unsigned char>(s[i + 1]);
            if (byte == 0xA3 && trail >= 0xA1 && trail <= 0xFE)
                folded += static_cast<char>(trail - 0xA1 + 0x21);
            else if (byte == 0xA1 && trail == 0xA1)
                folded += ' ';
            else
                folded.append(s, i, 2);
            ++i;
            continue;
        }
        folded += static_cast<char>(byte);
    }
    std::size_t i = 0;
    while (i < folded.size() && (folded[i] == ' ' || (folded[i] >= '\t' && folded[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < folded.size() && (folded[i] == '+' || folded[i] == '-')) {
        negative = folded[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < folded.size() && folded[i] >= '0' && folded[i] <= '9'; ++i) {
        const int digit = folded[i] - '0';
        if (value > (LLONG_MAX - digit) / 10)
            return negative ? LLONG_MIN : LLONG_MAX;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

Text TextOfInteger(long long value) { return Text(std::to_string(value)); }

std::vector<Text> SplitAll(const Text& text, const Text& separator) {
    std::vector<Text> pieces;
    if (separator.empty()) {
        pieces.push_back(text);
        return pieces;
    }
    const std::string& s = text.bytes();
    std::size_t pos = 0;
    while (true) {
        const auto at = FindIndex(s, separator.bytes(), pos, true);
        if (at == std::string::npos)
            break;
        pieces.emplace_back(std::string_view(s).substr(pos, at - pos));
        pos = at + separator.size();
    }
    pieces.emplace_back(std::string_view(s).substr(pos));
    return pieces;
}

} // namespace rankmoth
