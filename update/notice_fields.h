#pragma once

#include "base/text.h"

#include <vector>

namespace rankmoth::update {

// Field `number` (1-based) of a field list; a missing field reads as empty text.
Text NoticeField(const std::vector<Text>& fields, std::size_t number);

// Splits a notice payload at every "|": empty fields inside are kept, an empty piece after a final "|" is
// dropped (so "" gives no field at all).
std::vector<Text> SplitNoticeFields(const Text& payload);

// The address of the update archive announced by a version notice: field 3 + field 4 + "zujian/m_update.zip".
Text UpdateArchiveUrlOf(const std::vector<Text>& fields);
// "软件已暂停服务!如有疑问请联系QQ：" with the two support accounts.
Text SuspendedMessage();

} // namespace rankmoth::update
