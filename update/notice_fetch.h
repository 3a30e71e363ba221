#pragma once

#include "update/update_state.h"

namespace rankmoth::update {

// The program's notice fetch: NoticeText::SplitNotice with UTF-8 conversion.
NoticeFetch NoticeTextFetch();

} // namespace rankmoth::update
