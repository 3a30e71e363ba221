#pragma once

#include "app/controls.h"
#include "app/endpoints.h"
#include "app/eventpump.h"
#include "app/shell_hooks.h"
#include "web/web_env.h"

namespace rankmoth::shell {

// Everything the core folders need from the shell, built once by the application.
struct CoreContext {
    app::Controls& controls;
    app::EventPump& pump;
    app::Endpoints endpoints;
    web::WebEnv web;
};

// Fill in the hooks of the rank query (main window) and of the update check (update window).
void BindRankHooks(CoreContext& context, app::ShellHooks& hooks);
void BindUpdateHooks(CoreContext& context, app::ShellHooks& hooks);

} // namespace rankmoth::shell
