// Feed text as the shared report writes it: whatever the bytes, what comes out is well-formed UTF-8 with no
// markup character and no control a parser refuses, and text that needed nothing comes out as it went in.
#include "fuzz/fuzz_check.h"
#include "base/safe_text.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

using namespace rankmoth;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string out = base::MarkupText(text);
    for (const char c : out) {
        FUZZ_CHECK(c != '<' && c != '>' && c != '"' && c != '\'');
        const auto u = static_cast<unsigned char>(c);
        FUZZ_CHECK(u >= 0x20 || c == '\t' || c == '\n' || c == '\r');
    }
    // Every '&' starts one of the references written.
    for (std::size_t at = out.find('&'); at != std::string::npos; at = out.find('&', at + 1)) {
        const std::string_view rest = std::string_view(out).substr(at);
        FUZZ_CHECK(rest.rfind("&amp;", 0) == 0 || rest.rfind("&lt;", 0) == 0 || rest.rfind("&gt;", 0) == 0 ||
                   rest.rfind("&quot;", 0) == 0 || rest.rfind("&#39;", 0) == 0);
    }
    // Marked up twice changes only the ampersands: the first pass left nothing else to change.
    FUZZ_CHECK(base::MarkupText(out).size() == out.size() + 4 * static_cast<std::size_t>(std::count(
                                                               out.begin(), out.end(), '&')));
    return 0;
}
