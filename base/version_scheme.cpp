#include "base/version_scheme.h"

namespace rankmoth::base {

std::string WindowDateOf(std::string_view date) {
    if (!IsReleaseDate(date))
        return {};
    const auto part = [&date](std::size_t at) { return std::to_string(std::stoi(std::string(date.substr(at, 2)))); };
    return std::string(date.substr(0, 4)) + "." + part(5) + "." + part(8);
}

} // namespace rankmoth::base
