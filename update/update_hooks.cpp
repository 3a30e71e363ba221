#include "update/update_hooks.h"

#include "update/notice_check.h"
#include "update/update_download.h"
#include "update/update_install.h"
#include "update/update_progress.h"

namespace rankmoth::update {

void BindUpdateActions(std::function<UpdateEnv()> makeEnv, base::ShellHooks& hooks,
                       std::shared_ptr<UpdateState> state) {
    auto env = std::make_shared<std::function<UpdateEnv()>>(std::move(makeEnv));
    hooks.updateWindowCreated = [env, state] { LaunchCheck((*env)(), state); };
    hooks.backgroundCheck = [env, state](const std::function<void(int)>& finish) {
        BackgroundCheck((*env)(), *state, finish);
    };
    hooks.updateTimer1Tick = [env, state] { ProgressTick((*env)(), *state); };
    hooks.updateTimer2Tick = [env, state] { InstallTick((*env)(), *state); };
}

} // namespace rankmoth::update
