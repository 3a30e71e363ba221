#pragma once

#include "update/update_state.h"

#include <string>

namespace rankmoth::update {

// The names derived from an archive address split at "/": the host label (piece 3), the file name (the
// last piece) and the local path in the working directory.
struct ArchiveNames {
    Text hostLabel;
    Text fileName;
    std::string localPath;
};
ArchiveNames ArchiveNamesOf(const Text& address, const std::string& workDir);

// "下载到:" + the path, shortened to its first 20 bytes + "...\" + the file name when longer than 46 bytes.
Text PathLabelText(const Text& localPath, const Text& fileName);
// n / 1024 in single precision, printed with "%.6g".
Text FormatKilobytes(long long bytes);

// 时钟1, once a second: size, amount, speeds and time left.
void ProgressTick(const UpdateEnv& env, UpdateState& state);

} // namespace rankmoth::update
