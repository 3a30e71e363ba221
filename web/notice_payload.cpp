#include "web/notice_payload.h"

#include "web/codecs.h"

namespace rankmoth::web {

namespace {

// Well-formed UTF-8 per RFC 3629: no overlong forms, no surrogates, nothing past U+10FFFF.
bool IsWellFormedUtf8(std::string_view s) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        if (b0 < 0x80) {
            ++i;
            continue;
        }
        std::size_t len = 0;
        unsigned low = 0x80, high = 0xBF;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            len = 2;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            len = 3;
            if (b0 == 0xE0)
                low = 0xA0;
            else if (b0 == 0xED)
                high = 0x9F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            len = 4;
            if (b0 == 0xF0)
                low = 0x90;
            else if (b0 == 0xF4)
                high = 0x8F;
        } else {
            return false;
        }
        if (n - i < len)
            return false;
        for (std::size_t k = 1; k < len; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF))
                return false;
        }
        i += len;
    }
    return true;
}

} // namespace

bool StrictUtf8ToGbk(std::string_view utf8, Text& out) {
    out = Text{};
    if (!IsWellFormedUtf8(utf8))
        return false;
    out = Utf8ToGbk(utf8);
    return true;
}

Text NoticeBetween(const Text& text, const Text& left, const Text& right) {
    const int at = Find(text, left, 1, true);
    if (at < 0)
        return {};
    const int start = at + static_cast<int>(left.size());
    const int end = Find(text, right, start, true);
    if (end < 0)
        return {};
    return Mid(text, start, end - start);
}

Text NoticePayloadOf(const Bytes& body, int fromUtf8) {
    static const Text kBegin = "开始喽"_gbk;
    static const Text kEnd = "结束喽"_gbk;
    const std::string_view bytes(body.data(), body.find('\0') == Bytes::npos ? body.size() : body.find('\0'));
    Text text;
    if (fromUtf8 == 1) {
        if (!StrictUtf8ToGbk(bytes, text))
            return {};
    } else {
        text = Text(bytes);
    }
    return NoticeBetween(text, kBegin, kEnd);
}

Text SplitNoticePayload(const Text& payload, std::vector<Text>& fields) {
    static const Text kSeparator("|");
    if (!Contains(payload, kSeparator))
        return {};
    std::vector<Text> pieces = SplitAll(payload, kSeparator);
    if (!pieces.empty() && pieces.back().empty())
        pieces.pop_back();
    fields = std::move(pieces);
    return payload;
}

} // namespace rankmoth::web
