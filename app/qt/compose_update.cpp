#include "app/qt/compose.h"

#include "app/settings.h"
#include "update/notice_check.h"
#include "update/update_hooks.h"

#include <filesystem>

namespace rankmoth::shell {

void BindUpdateHooks(CoreContext& context, app::ShellHooks& hooks) {
    app::Controls& controls = context.controls;
    const app::Endpoints endpoints = context.endpoints;
    update::BindUpdateActions(
        [&controls, endpoints] {
            std::error_code ec;
            update::UpdateEnv env{controls,
                                  endpoints.versionNoticeUrl,
                                  endpoints.startTabNoticeUrl,
                                  update::NoticeTextFetch(),
                                  app::ConfigFile(),
                                  app::ExecutableDir(),
                                  std::filesystem::current_path(ec).string()};
            return env;
        },
        hooks);
}

} // namespace rankmoth::shell
