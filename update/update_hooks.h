#pragma once

#include "base/shell_hooks.h"
#include "update/update_state.h"

#include <functional>
#include <memory>

namespace rankmoth::update {

// Fills the update hooks of the shell: UpdateWindow's creation, the start-up worker's check and the two
// timers of UpdateWindow. `makeEnv` is asked for the environment each time a hook runs (so the current
// directory is the one at that moment). The hooks share one UpdateState, which they keep alive.
void BindUpdateActions(std::function<UpdateEnv()> makeEnv, base::ShellHooks& hooks,
                       std::shared_ptr<UpdateState> state = std::make_shared<UpdateState>());

} // namespace rankmoth::update
