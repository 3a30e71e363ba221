#include "web/gbk_tables.h"

#include <iconv.h>
#include <opencc/opencc.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace rankmoth::web {

namespace {

// Converts one short sequence; the output length, or -1 when iconv refuses it.
int ConvertOne(iconv_t cd, const char* in, std::size_t inLen, char* out, std::size_t outCap) {
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* src = const_cast<char*>(in);
    char* dst = out;
    std::size_t dstLeft = outCap;
    if (iconv(cd, &src, &inLen, &dst, &dstLeft) == static_cast<std::size_t>(-1) || inLen != 0)
        return -1;
    // Flush: a stateful encoder would emit its closing sequence here.
    if (iconv(cd, nullptr, nullptr, &dst, &dstLeft) == static_cast<std::size_t>(-1))
        return -1;
    return static_cast<int>(outCap - dstLeft);
}

bool IsDoubleByteCode(unsigned lead, unsigned trail) {
    return lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail <= 0xFE && trail != 0x7F;
}

} // namespace

GbkTables::GbkTables() {
    std::memset(fromGbk_, 0, sizeof fromGbk_);
    for (auto& code : toGbk_)
        code = kNone;
    for (unsigned c = 0; c < 0x80; ++c) {
        toGbk_[c] = static_cast<std::uint16_t>(c);
    }
    iconv_t toUtf16 = iconv_open("UTF-16LE", "CP936");
    iconv_t toCp936 = iconv_open("CP936", "UTF-16LE");
    if (toUtf16 == reinterpret_cast<iconv_t>(-1) || toCp936 == reinterpret_cast<iconv_t>(-1))
        std::abort(); // the C library lacks code page 936: nothing in this program could work
    char out[8];
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
        for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
            if (!IsDoubleByteCode(lead, trail))
                continue;
            const char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            if (ConvertOne(toUtf16, in, 2, out, sizeof out) != 2)
                continue;
            const auto unit =
                static_cast<char16_t>(static_cast<unsigned char>(out[0]) | static_cast<unsigned char>(out[1]) << 8);
            fromGbk_[lead << 8 | trail] = unit;
        }
    }
    // The reverse direction is asked of iconv unit by unit rather than inverted from the table above: a few
    // units have one-way mappings, and a few GBK codes share a unit.
    for (unsigned u = 0x80; u < 0x10000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF)
            continue;
        const char in[2] = {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
        const int n = ConvertOne(toCp936, in, 2, out, sizeof out);
        if (n == 1)
            toGbk_[u] = static_cast<unsigned char>(out[0]);
        else if (n == 2)
            toGbk_[u] = static_cast<std::uint16_t>(static_cast<unsigned char>(out[0]) << 8 |
                                                   static_cast<unsigned char>(out[1]));
    }
    iconv_close(toUtf16);
    iconv_close(toCp936);
}

const GbkTables& GbkTables::Get() {
    // Heap-allocated and never freed: a worker thread may still be converting while statics are destroyed.
    static const GbkTables* tables = new GbkTables();
    return *tables;
}

SimplifiedGbk::SimplifiedGbk() {
    for (unsigned code = 0; code < 0x10000; ++code)
        map_[code] = static_cast<std::uint16_t>(code);
    opencc_t converter = opencc_open(OPENCC_DEFAULT_CONFIG_TRAD_TO_SIMP);
    if (converter == reinterpret_cast<opencc_t>(-1))
        return; // without the tables the text stays traditional, which is still readable
    const GbkTables& gbk = GbkTables::Get();
    iconv_t toUtf8 = iconv_open("UTF-8", "UTF-16LE");
    iconv_t fromUtf8 = iconv_open("UTF-16LE", "UTF-8");
    char utf8[8];
    char utf16[16];
    for (unsigned code = 0x8140; code < 0x10000; ++code) {
        const char16_t unit = gbk.FromPair(static_cast<unsigned char>(code >> 8), static_cast<unsigned char>(code));
        if (unit == 0)
            continue;
        const char in[2] = {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
        const int n = ConvertOne(toUtf8, in, 2, utf8, sizeof utf8);
        if (n <= 0)
            continue;
        // One character at a time, so only the character table can match, never a phrase.
        char* simplified = opencc_convert_utf8(converter, utf8, static_cast<std::size_t>(n));
        if (!simplified)
            continue;
        const std::size_t len = std::strlen(simplified);
        const int m = ConvertOne(fromUtf8, simplified, len, utf16, sizeof utf16);
        opencc_convert_utf8_free(simplified);
        if (m != 2)
            continue; // several characters, or one outside the basic plane
        const auto target =
            static_cast<char16_t>(static_cast<unsigned char>(utf16[0]) | static_cast<unsigned char>(utf16[1]) << 8);
        const std::uint16_t targetCode = gbk.ToGbk(target);
        if (targetCode != GbkTables::kNone && targetCode >= 0x100)
            map_[code] = targetCode;
    }
    iconv_close(toUtf8);
    iconv_close(fromUtf8);
    opencc_close(converter);
}

const SimplifiedGbk& SimplifiedGbk::Get() {
    static const SimplifiedGbk* table = new SimplifiedGbk();
    return *table;
}

} // namespace rankmoth::web
