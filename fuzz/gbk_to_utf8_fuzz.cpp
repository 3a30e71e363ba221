#include "fuzz/fuzz_check.h"
#include "web/codecs.h"
#include "web/notice_payload.h"

#include <cstdint>
#include <string_view>

using namespace rankmoth;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Text gbk(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string utf8 = web::GbkToUtf8(gbk);
    // Whatever came in, what goes out is well-formed UTF-8.
    Text back;
    FUZZ_CHECK(web::StrictUtf8ToGbk(utf8, back));
    // And the URL form of it is plain ASCII.
    for (const char c : web::UrlEncode(gbk, (size & 1) != 0))
        FUZZ_CHECK(c > 0x20 && c < 0x7F);
    return 0;
}
