#include "base/safe_text.h"

#include <cstdint>

namespace rankmoth::base {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 sequence at the start of `s`, or 0 when it does not start with one.
std::size_t SequenceLength(std::string_view s) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = b(0);
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF; // the second byte's range, narrowed where forms are overlong or out of range
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (s.size() < length || b(1) < low || b(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if ((b(i) & 0xC0) != 0x80)
            return 0;
    }
    return length;
}

} // namespace

std::string CsvField(std::string_view field) {
    const bool formula = !field.empty() && std::string_view("=+-@\t\r").find(field.front()) != std::string_view::npos;
    if (!formula && field.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(field);
    std::string out = formula ? "\"'" : "\"";
    for (const char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string TerminalSafe(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        const std::size_t length = SequenceLength(utf8);
        const auto lead = static_cast<unsigned char>(utf8.front());
        const bool c0OrDel = length == 1 && (lead < 0x20 || lead == 0x7F);
        // U+0080..U+009F are C2 80..C2 9F.
        const bool c1 = length == 2 && lead == 0xC2 && static_cast<unsigned char>(utf8[1]) < 0xA0;
        if (length == 0 || c0OrDel || c1)
            out += kReplacement;
        else
            out.append(utf8.substr(0, length));
        utf8.remove_prefix(length == 0 ? 1 : length);
    }
    return out;
}

std::string MarkupText(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        const std::size_t length = SequenceLength(utf8);
        std::uint32_t code = length == 0 ? 0 : static_cast<unsigned char>(utf8[0]) & (0x7F >> (length == 1 ? 0 : length));
        for (std::size_t i = 1; i < length; ++i)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        const bool control = code < 0x20 ? code != '\t' && code != '\n' && code != '\r' : code >= 0x7F && code <= 0x9F;
        const bool noncharacter = (code >= 0xFDD0 && code <= 0xFDEF) || (code & 0xFFFE) == 0xFFFE;
        if (length == 0 || control || noncharacter) {
            out += kReplacement;
        } else {
            switch (utf8.front()) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out.append(utf8.substr(0, length));
            }
        }
        utf8.remove_prefix(length == 0 ? 1 : length);
    }
    return out;
}

bool IsValidUtf8(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t length = SequenceLength(bytes);
        if (length == 0)
            return false;
        bytes.remove_prefix(length);
    }
    return true;
}

} // namespace rankmoth::base
