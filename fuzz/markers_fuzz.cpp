// TextBetween against a slow reference built from the plain text searches, plus NoticeText's cuts.
#include "fuzz/fuzz_check.h"
#include "web/codecs.h"
#include "web/notice_payload.h"

#include <cstdint>
#include <string_view>
#include <vector>

using namespace rankmoth;

namespace {

Text ReferenceBetween(const Text& text, const Text& left, const Text& right, bool caseSensitive) {
    const Text quote("\"");
    const Text l = ReplaceAll(left, "#引号"_gbk, quote);
    const Text r = ReplaceAll(right, "#引号"_gbk, quote);
    const int at = Find(text, l, 1, caseSensitive);
    if (at < 0)
        return {};
    const Text rest = MidToEnd(text, at + static_cast<int>(l.size()));
    const int end = Find(rest, r, 1, caseSensitive);
    if (end < 0)
        return {};
    return Left(rest, end - 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    // Two length bytes, then the left marker, the right marker and the text.
    const std::size_t leftSize = data[0] & 0x0F;
    const std::size_t rightSize = data[1] & 0x0F;
    const bool caseSensitive = (data[0] & 0x10) != 0;
    std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::string_view leftBytes = rest.substr(0, leftSize);
    rest.remove_prefix(leftBytes.size());
    const std::string_view rightBytes = rest.substr(0, rightSize);
    rest.remove_prefix(rightBytes.size());
    const Text left(leftBytes), right(rightBytes), text(rest);

    const Text got = web::TextBetween(text, left, right, caseSensitive);
    FUZZ_CHECK(got == ReferenceBetween(text, left, right, caseSensitive));

    const Text between = web::NoticeBetween(text, left, right);
    FUZZ_CHECK(between.size() <= text.size());
    if (!left.empty() && !right.empty() && !between.empty())
        FUZZ_CHECK(Contains(text, left + between + right));

    std::vector<Text> fields{Text("sentinel")};
    const Text payload = web::SplitNoticePayload(text, fields);
    if (payload.empty()) {
        FUZZ_CHECK(fields.size() == 1 && fields[0] == Text("sentinel"));
    } else {
        // The fields joined again give the payload, less a final "|" that ended it.
        Text joined;
        for (std::size_t i = 0; i < fields.size(); ++i)
            joined += (i ? Text("|") : Text{}) + fields[i];
        FUZZ_CHECK(joined == payload || joined + Text("|") == payload);
    }
    return 0;
}
