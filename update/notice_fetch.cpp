#include "update/notice_fetch.h"

#include "web/notice_text.h"

namespace rankmoth::update {

NoticeFetch NoticeTextFetch() {
    return [](const Text& address, std::vector<Text>& fields) {
        web::NoticeText notice;
        return notice.SplitNotice(address, fields, 1);
    };
}

} // namespace rankmoth::update
