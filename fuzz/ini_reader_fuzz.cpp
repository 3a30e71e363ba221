// The INI reader on arbitrary bytes, and the writer's promise: what was written reads back.
#include "base/ini_file.h"
#include "fuzz/fuzz_check.h"

#include <cstdint>
#include <string>
#include <string_view>

using namespace rankmoth::base;

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A;
}

// Names and values the settings code can hand to the writer: no line breaks, nothing that reads as other
// syntax, no blanks at either end, no quotes around a value.
bool Writable(std::string_view s, std::string_view forbidden) {
    if (s.empty() || IsBlank(s.front()) || IsBlank(s.back()))
        return false;
    return s.find_first_of(forbidden) == std::string_view::npos && s.find('\0') == std::string_view::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    // The first line names section, key and value as "section\tkey\tvalue"; the rest is the file.
    const std::size_t lf = all.find('\n');
    const std::string_view header = lf == std::string_view::npos ? all : all.substr(0, lf);
    const std::string_view file = lf == std::string_view::npos ? std::string_view{} : all.substr(lf + 1);
    const std::size_t tab1 = header.find('\t');
    const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : header.find('\t', tab1 + 1);
    const std::string_view section = header.substr(0, tab1);
    const std::string_view key =
        tab1 == std::string_view::npos ? std::string_view{} : header.substr(tab1 + 1, tab2 - tab1 - 1);
    const std::string_view value = tab2 == std::string_view::npos ? std::string_view{} : header.substr(tab2 + 1);

    IniLookup(file, section, key);
    IniLookup(file, "canshu", "youdianid");

    if (!Writable(section, "]\r\n\t") || !Writable(key, "=\r\n\t") || key.front() == '[')
        return 0;
    const bool valueOk = value.empty() || (Writable(value, "\r\n") && value.front() != '"' && value.front() != '\'');
    if (!valueOk)
        return 0;
    const std::string updated = IniWithValue(file, section, key, value);
    const auto readBack = IniLookup(updated, section, key);
    FUZZ_CHECK(readBack.has_value() && *readBack == value);
    // Writing the same value again changes nothing.
    FUZZ_CHECK(IniWithValue(updated, section, key, value) == updated);
    return 0;
}
