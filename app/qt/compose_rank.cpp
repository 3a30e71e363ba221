#include "app/qt/compose.h"

namespace rankmoth::shell {

void BindRankHooks(CoreContext& /*context*/, app::ShellHooks& /*hooks*/) {}

} // namespace rankmoth::shell
