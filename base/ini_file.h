#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rankmoth::base {

// The INI format as the Windows private-profile functions read and write it, on the bytes of a file.
// Section and key names match without regard to ASCII case; lines are split at LF, a CR before the LF
// belongs to the line end. A UTF-8 byte-order mark at the start, which editors on the other platform put
// there, belongs to no line: it would otherwise hide the first section's name.

// The value of `key` in `section`: the text after the first "=" with blanks around it trimmed, and one pair
// of matching quotes around it removed. Nothing when the section or the key is absent.
std::optional<std::string> IniLookup(std::string_view file, std::string_view section, std::string_view key);

// The same value with the number of its line (1 for the first), for telling a user where a setting came from.
struct IniEntry {
    std::string value;
    int line = 0;
};
std::optional<IniEntry> IniFind(std::string_view file, std::string_view section, std::string_view key);

// The file with `key` in `section` set to `value`: an existing key's line is rewritten in place, a new key
// goes after the last non-blank line of its section, a new section at the end. Every other byte stays as it
// was, and added lines end the way the file's first line does (CR LF in a new file).
std::string IniWithValue(std::string_view file, std::string_view section, std::string_view key, std::string_view value);

} // namespace rankmoth::base
