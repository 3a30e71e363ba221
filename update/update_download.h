#pragma once

#include "base/control_names.h"
#include "update/update_state.h"

#include <memory>

namespace rankmoth::update {

// UpdateWindow's controls, as the download and install write them.
namespace ui = base::names::update_window;

// Prepares UpdateWindow and starts DownloadThread (called on the window thread).
void StartUpdateDownload(const UpdateEnv& env, const std::shared_ptr<UpdateState>& state);
// Body of the download thread: labels, HttpDownload, and the failure message with the download page.
void DownloadThread(const UpdateEnv& env, UpdateState& state);

} // namespace rankmoth::update
