#pragma once

#include "update/update_state.h"

namespace rankmoth::update {

// The completed percentage shown while the download runs: DownloadedBytes / (TotalBytes / 100), both
// divisions truncated; 0 while the total is below 100 bytes.
long long CompletedPercent(long long totalBytes, long long downloadedBytes);

// 时钟2, ten times a second: percentage and bar, and once the download has finished, the completion:
// unpack the archive, delete it, start the updater, then the download page, the message and the end.
void InstallTick(const UpdateEnv& env, UpdateState& state);

} // namespace rankmoth::update
