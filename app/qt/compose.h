#pragma once

#include "base/controls.h"
#include "base/endpoints.h"
#include "base/eventpump.h"
#include "base/file_locations.h"
#include "base/pass_outcome.h"
#include "base/shell_hooks.h"
#include "web/web_env.h"

#include <functional>

namespace rankmoth::shell {

// The installed share folder as seen from the installed executable's folder.
#ifdef RANKMOTH_DATA_FROM_BIN
inline constexpr const char* kDataFromBin = RANKMOTH_DATA_FROM_BIN;
#else
inline constexpr const char* kDataFromBin = "../share/rankmoth";
#endif

// Everything the core folders need from the shell, built once by the application.
struct CoreContext {
    base::Controls& controls;
    base::EventPump& pump;
    base::Endpoints endpoints;
    web::WebEnv web;
    base::FileLocations files = base::ProcessFileLocations(kDataFromBin);
    // Every finished pass of the window goes here (the history), whatever its outcome.
    std::function<void(const base::PassOutcome&)> passFinished = nullptr;
};

// Fill in the hooks of the rank query (main window) and of the update check (update window).
void BindRankHooks(CoreContext& context, base::ShellHooks& hooks);
void BindUpdateHooks(CoreContext& context, base::ShellHooks& hooks);

} // namespace rankmoth::shell
