#include "fuzz/fuzz_check.h"
#include "web/codecs.h"

#include <cstdint>
#include <string_view>

using namespace rankmoth;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view big5(reinterpret_cast<const char*>(data), size);
    const Text gbk = web::Big5ToSimplifiedGbk(big5);
    // Simplifying keeps the byte length; a replaced malformed byte takes one byte's place; so the text
    // never grows.
    FUZZ_CHECK(gbk.size() <= big5.substr(0, big5.find('\0')).size());
    return 0;
}
