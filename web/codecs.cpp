#include "web/codecs.h"

#include "base/eventpump.h"
#include "base/iconv_converter.h"
#include "web/gbk_tables.h"

#include <cstdint>
#include <cstring>

namespace rankmoth::web {

using base::IconvConverter;

namespace {

// Each thread keeps its own descriptor: iconv state is per descriptor.
IconvConverter& Big5ToUtf16Converter() {
    thread_local IconvConverter converter("UTF-16LE", "CP950");
    return converter;
}

void AppendGbk(std::string& out, std::uint16_t code) {
    if (code >= 0x100)
        out += static_cast<char>(code >> 8);
    out += static_cast<char>(code & 0xFF);
}

int HexValue(char16_t c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The value of `count` hex digits at s[at], or -1 when they are not all there.
int HexAt(const std::u16string& s, std::size_t at, std::size_t count) {
    if (at + count > s.size())
        return -1;
    int value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int digit = HexValue(s[at + i]);
        if (digit < 0)
            return -1;
        value = value << 4 | digit;
    }
    return value;
}

bool IsTrailByte(unsigned char b) {
    return b >= 0x40 && b != 0x7F && b != 0xFF;
}

bool IsOctalDigit(char16_t c) {
    return c >= '0' && c <= '7';
}

// \b \t \n \v \f \r and the control characters they stand for.
constexpr std::u16string_view kControlEscapes = u"btnvfr";
constexpr char16_t kControlUnits[] = {0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D};

constexpr char16_t kRightQuote = u'\u2019';
constexpr char16_t kReplacement = u'\uFFFD';

// The GBK text turned into UTF-16 with the rewrites that come before the text is read as a literal:
// CR LF to "{$}", a leading lone CR dropped, "\u" to "%u" and "'" to the right quotation mark. False when
// a CR or LF is left on its own, which no single-line string literal can hold.
bool PrepareLiteral(const std::string& s, std::u16string& out) {
    const GbkTables& gbk = GbkTables::Get();
    const std::size_t n = s.size();
    // "{$}" for CR LF is the only rewrite that grows: at most 3 units for 2 bytes.
    out.resize(n + n / 2 + 1);
    char16_t* w = out.data();
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    std::size_t i = 0;
    if (n > 0 && p[0] == '\r' && !(n > 1 && p[1] == '\n'))
        i = 1;
    while (i < n) {
        const unsigned char b = p[i];
        if (b >= 0x80) {
            // A lead byte before a byte that cannot be a trail byte stands alone, so that a stray lead byte
            // never hides the CR, LF, quote or backslash after it.
            if (i + 1 < n && IsTrailByte(p[i + 1])) {
                const char16_t unit = gbk.FromPair(b, p[i + 1]);
                *w++ = unit != 0 ? unit : kReplacement;
                i += 2;
            } else {
                *w++ = kReplacement;
                ++i;
            }
            continue;
        }
        if (b > '\\' || (b > '\'' && b < '\\')) {
            // Nothing at or above "(" but the backslash is rewritten: the common case, kept short.
            *w++ = b;
            ++i;
            continue;
        }
        switch (b) {
        case '\r':
            if (i + 1 < n && p[i + 1] == '\n') {
                *w++ = '{';
                *w++ = '$';
                *w++ = '}';
                i += 2;
                continue;
            }
            return false;
        case '\n':
            return false;
        case '\\':
            if (i + 1 < n && p[i + 1] == 'u') {
                *w++ = '%';
                *w++ = 'u';
                i += 2;
                continue;
            }
            break;
        case '\'':
            *w++ = kRightQuote;
            ++i;
            continue;
        default:
            break;
        }
        *w++ = b;
        ++i;
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
    return true;
}

// Reads `s` in place as the body of a single-quoted string literal with the legacy octal escapes. False
// when it ends in a backslash that escapes the closing quote.
bool ReadLiteralBody(std::u16string& s) {
    const std::size_t first = s.find(u'\\');
    if (first == std::u16string::npos)
        return true;
    std::size_t w = first;
    std::size_t r = first;
    const std::size_t n = s.size();
    while (r < n) {
        const char16_t c = s[r];
        if (c != '\\') {
            s[w++] = c;
            ++r;
            continue;
        }
        if (r + 1 >= n)
            return false;
        const char16_t e = s[r + 1];
        r += 2;
        if (const auto k = kControlEscapes.find(e); k != std::u16string_view::npos) {
            s[w++] = kControlUnits[k];
            continue;
        }
        if (e == 'x') {
            const int value = HexAt(s, r, 2);
            if (value >= 0) {
                s[w++] = static_cast<char16_t>(value);
                r += 2;
            } else {
                s[w++] = e;
            }
        } else if (IsOctalDigit(e)) {
            // Legacy octal: up to three digits while the value stays within \377.
            int value = e - '0';
            const std::size_t maxDigits = e <= '3' ? 2 : 1;
            for (std::size_t k = 0; k < maxDigits && r < n && IsOctalDigit(s[r]); ++k, ++r)
                value = value * 8 + (s[r] - '0');
            s[w++] = static_cast<char16_t>(value);
        } else {
            // \" \\ and any other character stand for themselves (8 and 9 included).
            s[w++] = e;
        }
    }
    s.resize(w);
    return true;
}

// The script unescape() in place: %uXXXX and %XX become the unit they name, any other "%" stays.
void Unescape(std::u16string& s) {
    const std::size_t first = s.find(u'%');
    if (first == std::u16string::npos)
        return;
    std::size_t w = first;
    std::size_t r = first;
    const std::size_t n = s.size();
    while (r < n) {
        const char16_t c = s[r];
        if (c == '%') {
            int value = -1;
            if (r + 1 < n && s[r + 1] == 'u' && (value = HexAt(s, r + 2, 4)) >= 0) {
                s[w++] = static_cast<char16_t>(value);
                r += 6;
                continue;
            }
            if ((value = HexAt(s, r + 1, 2)) >= 0) {
                s[w++] = static_cast<char16_t>(value);
                r += 3;
                continue;
            }
        }
        s[w++] = c;
        ++r;
    }
    s.resize(w);
}

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// UTF-16 to GBK with "?" for what has no form, then the right quotation mark back to "'" and "{$}" back to
// CR LF. The text ends at the first U+0000, as every text does.
Text EncodeDecoded(const std::u16string& s) {
    const GbkTables& gbk = GbkTables::Get();
    std::string out;
    out.resize(s.size() * 2);
    char* w = out.data();
    const std::size_t n = s.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c < 0x80) {
            if (c == 0)
                break;
            if (c == '{' && i + 2 < n && s[i + 1] == '$' && s[i + 2] == '}') {
                *w++ = '\r';
                *w++ = '\n';
                i += 2;
                continue;
            }
            *w++ = static_cast<char>(c);
            continue;
        }
        if (IsHighSurrogate(c) && i + 1 < n && IsLowSurrogate(s[i + 1])) {
            // A character beyond the basic plane: one character, one "?".
            *w++ = '?';
            ++i;
            continue;
        }
        const std::uint16_t code = gbk.ToGbk(c);
        if (code == GbkTables::kNone) {
            *w++ = '?';
        } else if (code == 0xA1AF) {
            *w++ = '\'';
        } else {
            if (code >= 0x100)
                *w++ = static_cast<char>(code >> 8);
            *w++ = static_cast<char>(code & 0xFF);
        }
    }
    out.resize(static_cast<std::size_t>(w - out.data()));
    return Text(out);
}

// Tells whether positions of a text start a character, for positions asked in increasing order. Only a
// byte of 0x80 or more takes the byte after it, so a position starts a character unless the run of such
// bytes right before it, counted from a known start (or from a byte below 0x80), has odd length. Remembering
// the last answer keeps the backward scans linear in the text however many candidates there are.
class CharacterStarts {
public:
    explicit CharacterStarts(std::string_view text) : text_(text) {}

    bool At(std::size_t at) {
        std::size_t p = at;
        while (p > known_ && static_cast<unsigned char>(text_[p - 1]) >= 0x80)
            --p;
        const bool starts = (at - p) % 2 == 0;
        known_ = starts ? at : at + 1;
        return starts;
    }

private:
    std::string_view text_;
    std::size_t known_ = 0;
};

// 0-based index of the first match of `part` in `hay` that starts on a character boundary of `hay`, or npos.
// `searched` is `hay` itself or its ASCII-lowered copy (with `part` lowered as well).
std::size_t FindOnBoundary(std::string_view hay, std::string_view searched, std::string_view part) {
    if (part.empty() || part.size() > searched.size())
        return std::string_view::npos;
    CharacterStarts starts(hay);
    std::size_t from = 0;
    while (from + part.size() <= searched.size()) {
        const void* hit = memmem(searched.data() + from, searched.size() - from, part.data(), part.size());
        if (!hit)
            return std::string_view::npos;
        const auto candidate = static_cast<std::size_t>(static_cast<const char*>(hit) - searched.data());
        if (starts.At(candidate))
            return candidate;
        from = candidate + 1;
    }
    return std::string_view::npos;
}

bool HasAsciiLetter(std::string_view s) {
    for (const char c : s) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            return true;
    }
    return false;
}

void LowerAsciiInto(std::string_view s, std::string& out) {
    out.resize(s.size());
    const char* src = s.data();
    char* dst = out.data();
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = src[i];
        dst[i] = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
}

} // namespace

Text Big5ToSimplifiedGbk(std::string_view big5) {
    big5 = big5.substr(0, big5.find('\0'));
    // Through UTF-16 rather than straight to GBK: iconv reports a malformed Big5 byte and a character that
    // GBK lacks in the same way, and only the second one ends the text.
    const std::string utf16 = Big5ToUtf16Converter().Convert(big5, [](std::string_view rest, std::string& out) {
        // An unassigned pair is one character; a lead byte before a byte that cannot follow it is one alone,
        // so that the ASCII byte after it survives.
        out += std::string_view("?\0", 2);
        const auto lead = static_cast<unsigned char>(rest[0]);
        const auto trail = rest.size() > 1 ? static_cast<unsigned char>(rest[1]) : 0;
        const bool pair =
            lead >= 0x81 && lead <= 0xFE && ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0xA1 && trail <= 0xFE));
        return std::size_t{pair ? 2u : 1u};
    });
    const GbkTables& gbk = GbkTables::Get();
    const SimplifiedGbk* simplified = nullptr;
    std::string out;
    out.reserve(big5.size());
    for (std::size_t i = 0; i + 1 < utf16.size(); i += 2) {
        const auto unit =
            static_cast<char16_t>(static_cast<unsigned char>(utf16[i]) | static_cast<unsigned char>(utf16[i + 1]) << 8);
        const std::uint16_t code = unit == 0 ? GbkTables::kNone : gbk.ToGbk(unit);
        if (code == GbkTables::kNone)
            break;
        if (code >= 0x100) {
            if (!simplified)
                simplified = &SimplifiedGbk::Get();
            AppendGbk(out, simplified->Map(code));
        } else {
            AppendGbk(out, code);
        }
    }
    return Text(out);
}

std::string UrlEncode(const Text& text, bool keepSafe, base::EventPump* pump) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string utf8 = GbkToUtf8(text);
    std::string out;
    out.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        const auto b = static_cast<unsigned char>(c);
        const bool safe = (b >= 44 && b <= 57) || (b >= 65 && b <= 90) || (b >= 97 && b <= 122);
        if (keepSafe && safe) {
            out += c;
        } else {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0x0F];
        }
        if (pump)
            pump->DispatchPending();
    }
    return out;
}

Text DecodeEscapes(const Text& text) {
    std::u16string units;
    if (!PrepareLiteral(text.bytes(), units))
        return {};
    if (!ReadLiteralBody(units))
        return {};
    Unescape(units);
    return EncodeDecoded(units);
}

Text TextBetween(const Text& text, const Text& left, const Text& right, bool caseSensitive) {
    static const Text kQuoteMarker = "#引号"_gbk;
    static const Text kQuote("\"");
    const Text l = ReplaceAll(left, kQuoteMarker, kQuote);
    const Text r = ReplaceAll(right, kQuoteMarker, kQuote);
    if (l.empty() || r.empty())
        return {};
    const std::string_view hay = text.bytes();
    std::string_view searched = hay;
    std::string_view leftPart = l.bytes();
    std::string_view rightPart = r.bytes();
    // A case-insensitive search runs over a lowered copy, so that it is one byte search like the other.
    thread_local std::string loweredText;
    std::string loweredLeft, loweredRight;
    if (!caseSensitive && (HasAsciiLetter(leftPart) || HasAsciiLetter(rightPart))) {
        LowerAsciiInto(hay, loweredText);
        LowerAsciiInto(leftPart, loweredLeft);
        LowerAsciiInto(rightPart, loweredRight);
        searched = loweredText;
        leftPart = loweredLeft;
        rightPart = loweredRight;
    }
    const std::size_t at = FindOnBoundary(hay, searched, leftPart);
    if (at == std::string_view::npos)
        return {};
    const std::size_t restStart = at + leftPart.size();
    const std::size_t end = FindOnBoundary(hay.substr(restStart), searched.substr(restStart), rightPart);
    if (end == std::string_view::npos)
        return {};
    return Text(hay.substr(restStart, end));
}

} // namespace rankmoth::web
