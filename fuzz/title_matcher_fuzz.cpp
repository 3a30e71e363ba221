// The one-scan title matcher against the per-title search: a first line of titles separated by 0x01, then
// the slice.
#include "fuzz/fuzz_check.h"
#include "rank/title_matcher.h"

#include <cstdint>
#include <string_view>
#include <vector>

using namespace rankmoth;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t newline = input.find('\n');
    if (newline == std::string_view::npos)
        return 0;
    std::vector<Text> titles;
    std::string_view list = input.substr(0, newline);
    for (;;) {
        const std::size_t cut = list.find('\x01');
        titles.emplace_back(list.substr(0, cut));
        if (cut == std::string_view::npos)
            break;
        list.remove_prefix(cut + 1);
    }
    const Text text(input.substr(newline + 1));
    const rank::GbkHaystack haystack(text);

    rank::TitleMatcher matcher(titles);
    std::vector<std::uint8_t> found;
    matcher.Match(haystack, found);
    FUZZ_CHECK(found.size() == titles.size());
    for (std::size_t k = 0; k < titles.size(); ++k)
        FUZZ_CHECK((found[k] != 0) == haystack.Contains(titles[k]));
    return 0;
}
