#include "fuzz/fuzz_check.h"
#include "web/notice_payload.h"

#include <cstdint>
#include <string>
#include <vector>

using namespace rankmoth;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Bytes body(reinterpret_cast<const char*>(data), size);
    for (const int fromUtf8 : {0, 1}) {
        const Text payload = web::NoticePayloadOf(body, fromUtf8);
        std::vector<Text> fields;
        web::SplitNoticePayload(payload, fields);
        for (const Text& field : fields)
            FUZZ_CHECK(field.size() <= payload.size());
    }
    return 0;
}
