#include "fuzz/fuzz_check.h"
#include "web/codecs.h"

#include <cstdint>
#include <string_view>

using namespace rankmoth;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Text input(std::string_view(reinterpret_cast<const char*>(data), size));
    const Text decoded = web::DecodeEscapes(input);
    // Decoding only ever shortens: every escape is longer than what it stands for, and "{$}" (3 bytes)
    // comes back as CR LF (2 bytes). Only a stray lead byte's "?" or a "’" made "'" keep their length.
    FUZZ_CHECK(decoded.size() <= input.size());
    // A text without anything to decode comes back as it was.
    bool plain = true;
    for (const char c : input.bytes()) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 || c == '\\' || c == '%' || c == '{' || c == '\r' || c == '\n')
            plain = false;
    }
    if (plain)
        FUZZ_CHECK(decoded == input);
    return 0;
}
