#pragma once

#include "base/text.h"

#include <vector>

namespace rankmoth::web {

// Fetches a notice page and turns its payload (between "开始喽" and "结束喽") into "|"-separated fields.
class NoticeText {
public:
    Text SplitNotice(const Text& address, std::vector<Text>& fields, int fromUtf8);
    Text NoticePayload(const Text& address, int fromUtf8);
    Text Between(const Text& text, const Text& left, const Text& right);
    bool Contains(const Text& text, const Text& part);
};

} // namespace rankmoth::web
