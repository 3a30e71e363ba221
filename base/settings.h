#pragma once

#include "base/text.h"

#include <optional>
#include <string>

namespace rankmoth::base {

// INI settings with the behaviour the program's files were always written with: sections and keys are
// found without regard to ASCII case, every line of the file that is not touched stays as it was, values
// are cut to 10239 bytes, and a missing file reads as empty.
Text ReadSetting(const std::string& file, const Text& section, const Text& key);
// The same, telling a key that is absent (nothing) from one set to an empty value.
std::optional<Text> LookupSetting(const std::string& file, const Text& section, const Text& key);
// The same with where it stands: the file as found on disc (see the letter-case rule below) and the line.
struct SettingLocation {
    Text value;
    std::string file;
    int line = 0;
};
std::optional<SettingLocation> LocateSetting(const std::string& file, const Text& section, const Text& key);
// Creates the file when missing; false when it could not be written (the file is then left as it was).
bool WriteSetting(const std::string& file, const Text& section, const Text& key, const Text& value);

// The directory of the program file, without a trailing "/".
std::string ExecutableDir();
// "config.ini" beside the executable, or in the per-user configuration directory when the executable's
// directory cannot be written.
std::string ConfigFile();
// The choice ConfigFile makes, given the executable's directory, whether it can be written, and the
// environment's XDG_CONFIG_HOME and HOME (either may be null).
std::string ConfigFileFor(const std::string& exeDir, bool exeDirWritable, const char* xdgConfigHome, const char* home);
// Whether the process may write into `path`; a folder nobody may write counts as read-only even for root.
bool DirectoryWritable(const std::string& path);

} // namespace rankmoth::base
