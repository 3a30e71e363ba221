#pragma once

#include <cstdint>

namespace rankmoth::web {

// Lookup tables between GBK and UTF-16, built once per process from iconv's code page 936 so that the
// escape decoder and the Big5 path map one character at a time without an iconv call each.
class GbkTables {
public:
    static const GbkTables& Get();

    // The UTF-16 unit of the double-byte character (lead, trail); 0 when it has none.
    char16_t FromPair(unsigned char lead, unsigned char trail) const {
        return fromGbk_[static_cast<unsigned>(lead) << 8 | trail];
    }
    // The GBK code of a UTF-16 unit: below 0x100 a single byte, above it lead << 8 | trail; kNone when the
    // unit has no GBK form (surrogates never do).
    std::uint16_t ToGbk(char16_t unit) const { return toGbk_[unit]; }

    static constexpr std::uint16_t kNone = 0xFFFF;

private:
    GbkTables();
    char16_t fromGbk_[0x10000];
    std::uint16_t toGbk_[0x10000];
};

// GBK double-byte codes of traditional characters mapped to the code of their simplified form, or the code
// itself. Only characters whose simplified form also has a double-byte GBK code are mapped, so the byte
// length never changes. Built on first use from OpenCC's traditional-to-simplified character table.
class SimplifiedGbk {
public:
    static const SimplifiedGbk& Get();
    std::uint16_t Map(std::uint16_t code) const { return map_[code]; }

private:
    SimplifiedGbk();
    std::uint16_t map_[0x10000];
};

} // namespace rankmoth::web
