#pragma once

#include <compare>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rankmoth {

// GBK (code page 936) text. Everything the program parses, compares and shows is held in this form; UTF-8
// appears only at the window boundary and where pages arrive in it. The text ends at its first zero byte,
// so an empty text and an absent one are the same thing.
//
// Positions are 1-based byte positions, and a search that finds nothing gives -1. Searches step over
// double-byte characters (a lead byte is 0x80 or more), so a match never begins on a trail byte.
class Text {
public:
    Text() = default;
    // Takes GBK bytes as they are, cut at the first zero byte.
    explicit Text(std::string_view gbkBytes);
    explicit Text(const char* gbkBytes) : Text(std::string_view(gbkBytes ? gbkBytes : "")) {}

    // The one way to write a GBK literal in source: the literal is written in UTF-8 and converted here.
    static Text FromUtf8(std::string_view utf8);

    const std::string& bytes() const { return bytes_; }
    const char* c_str() const { return bytes_.c_str(); }
    std::size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    unsigned char at(std::size_t index0) const { return static_cast<unsigned char>(bytes_[index0]); }

    std::string ToUtf8() const;

    Text& operator+=(const Text& other);
    friend Text operator+(Text a, const Text& b) { return a += b; }
    friend bool operator==(const Text&, const Text&) = default;
    friend auto operator<=>(const Text&, const Text&) = default;

private:
    std::string bytes_;
};

// A length-counted byte array: bodies and files, which may hold zero bytes.
using Bytes = std::string;

// Turns bytes into text at their first zero byte.
inline Text TextOf(const Bytes& bytes) { return Text(std::string_view(bytes)); }

inline namespace literals {
// "在第"_gbk: a GBK text from a UTF-8 source literal.
inline Text operator""_gbk(const char* utf8, std::size_t size) { return Text::FromUtf8(std::string_view(utf8, size)); }
} // namespace literals

// Searches. `start` is 1-based; a start below 1 counts as 1, one past the end finds nothing.
int Find(const Text& text, const Text& part, int start = 1, bool caseSensitive = true);
// The same search, but only a match that begins before position `end` counts (it may run on past it). A
// scan that cuts a text into stretches asks for the next marker within the stretch, so a marker missing
// from one stretch is not looked for through the rest of the text.
int FindBefore(const Text& text, const Text& part, int start, int end, bool caseSensitive = true);
bool Contains(const Text& text, const Text& part, bool caseSensitive = true);

// Substrings by 1-based position; lengths are clamped to the text.
Text Left(const Text& text, int length);
Text Right(const Text& text, int length);
Text Mid(const Text& text, int start, int length);
Text MidToEnd(const Text& text, int start);

// Every occurrence of `from` (searched left to right, stepping over double-byte characters) replaced by `to`.
Text ReplaceAll(const Text& text, const Text& from, const Text& to, bool caseSensitive = true);
// Only the first occurrence.
Text ReplaceFirst(const Text& text, const Text& from, const Text& to, bool caseSensitive = true);

// Only the ASCII space and the full-width space (A1 A1) count as spaces.
Text TrimSpaces(const Text& text);
Text TrimLeftSpaces(const Text& text);
Text TrimRightSpaces(const Text& text);
Text RemoveAllSpaces(const Text& text);

// ASCII letters only; double-byte characters are left untouched.
Text ToLowerAscii(const Text& text);

// Full-width characters folded to ASCII, leading white space skipped, an optional sign and the leading
// digits read; 0 for a text that does not begin with a number. Saturates instead of overflowing.
long long IntegerOf(const Text& text);
Text TextOfInteger(long long value);

// Splits at every occurrence of `separator`; keeps empty pieces.
std::vector<Text> SplitAll(const Text& text, const Text& separator);

} // namespace rankmoth
