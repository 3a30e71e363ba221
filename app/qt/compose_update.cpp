#include "app/qt/compose.h"

namespace rankmoth::shell {

void BindUpdateHooks(CoreContext& /*context*/, app::ShellHooks& /*hooks*/) {}

} // namespace rankmoth::shell
