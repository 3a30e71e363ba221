#include "base/utf8_gbk.h"

#include "base/iconv_converter.h"

namespace rankmoth::base {

namespace {

// Length of the well-formed UTF-8 sequence at the start of `s`, or 0 when it is not one.
std::size_t Utf8SequenceLength(std::string_view s) {
    if (s.empty())
        return 0;
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t n = 0;
    unsigned lowSecond = 0x80, highSecond = 0xBF;
    if (b0 < 0x80)
        return 1;
    if (b0 >= 0xC2 && b0 <= 0xDF)
        n = 2;
    else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        if (b0 == 0xE0)
            lowSecond = 0xA0;
        if (b0 == 0xED)
            highSecond = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        if (b0 == 0xF0)
            lowSecond = 0x90;
        if (b0 == 0xF4)
            highSecond = 0x8F;
    } else
        return 0;
    if (s.size() < n)
        return 0;
    for (std::size_t i = 1; i < n; ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        const unsigned low = i == 1 ? lowSecond : 0x80;
        const unsigned high = i == 1 ? highSecond : 0xBF;
        if (b < low || b > high)
            return 0;
    }
    return n;
}

// How many bytes of a malformed sequence one "?" stands for: the longest start of a well-formed sequence,
// at least one byte, so that a sequence cut short by the end of the text or by an ASCII byte gives one "?".
std::size_t MaximalSubpart(std::string_view s) {
    if (s.empty())
        return 1;
    const auto b0 = static_cast<unsigned char>(s[0]);
    std::size_t n = 0;
    unsigned lowSecond = 0x80, highSecond = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3;
        lowSecond = b0 == 0xE0 ? 0xA0 : 0x80;
        highSecond = b0 == 0xED ? 0x9F : 0xBF;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4;
        lowSecond = b0 == 0xF0 ? 0x90 : 0x80;
        highSecond = b0 == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 1;
    }
    std::size_t i = 1;
    for (; i < n && i < s.size(); ++i) {
        const auto b = static_cast<unsigned char>(s[i]);
        if (b < (i == 1 ? lowSecond : 0x80) || b > (i == 1 ? highSecond : 0xBF))
            break;
    }
    return i;
}

// Each thread keeps its own descriptors: iconv state is per descriptor, and opening one per call would cost
// more than the conversion of a short text.
IconvConverter& Utf8ToGbkConverter() {
    thread_local IconvConverter converter("CP936", "UTF-8");
    return converter;
}

IconvConverter& GbkToUtf8Converter() {
    thread_local IconvConverter converter("UTF-8", "CP936");
    return converter;
}

} // namespace

Text Utf8ToGbk(std::string_view utf8) {
    utf8 = utf8.substr(0, utf8.find('\0'));
    return Text(Utf8ToGbkConverter().Convert(utf8, [](std::string_view rest, std::string& out) {
        // A well-formed character without a GBK form, or a malformed sequence: either way one "?", and a
        // malformed sequence steps over one byte only so that what follows it is still read.
        out += '?';
        const std::size_t n = Utf8SequenceLength(rest);
        return n == 0 ? MaximalSubpart(rest) : n;
    }));
}


std::string GbkToUtf8(const Text& text) {
    return GbkToUtf8Converter().Convert(text.bytes(), [](std::string_view, std::string& out) {
        out += "\xEF\xBF\xBD";
        return std::size_t{1};
    });
}

} // namespace rankmoth::base
