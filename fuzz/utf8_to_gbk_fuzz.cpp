#include "fuzz/fuzz_check.h"
#include "web/codecs.h"

#include <cstdint>
#include <string_view>

using namespace rankmoth;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view utf8(reinterpret_cast<const char*>(data), size);
    const Text gbk = web::Utf8ToGbk(utf8);
    const std::string_view cut = utf8.substr(0, utf8.find('\0'));
    // GBK never needs more bytes than UTF-8 for the same character, and a "?" replaces at least one byte.
    FUZZ_CHECK(gbk.size() <= cut.size());
    bool ascii = true;
    for (const char c : cut)
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii)
        FUZZ_CHECK(gbk.bytes() == cut);
    return 0;
}
