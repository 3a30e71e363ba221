#include "update/notice_fields.h"

#include "base/endpoints.h"

namespace rankmoth::update {

Text NoticeField(const std::vector<Text>& fields, std::size_t number) {
    return number >= 1 && number <= fields.size() ? fields[number - 1] : Text();
}

std::vector<Text> SplitNoticeFields(const Text& payload) {
    std::vector<Text> fields = SplitAll(payload, Text("|"));
    if (!fields.empty() && fields.back().empty())
        fields.pop_back();
    return fields;
}

Text UpdateArchiveUrlOf(const std::vector<Text>& fields) {
    return NoticeField(fields, 3) + NoticeField(fields, 4) + Text("zujian/m_update.zip");
}

Text SuspendedMessage() {
    return "软件已暂停服务!如有疑问请联系QQ："_gbk + Text(base::links::kSupportAccountA) + " 或 "_gbk +
           Text(base::links::kSupportAccountB);
}

} // namespace rankmoth::update
