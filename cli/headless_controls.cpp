#include "cli/headless_controls.h"

#include <cstdio>

namespace rankmoth::cli {

int HeadlessControls::MessageBox(const Text& text, int, const Text& caption) {
    std::fprintf(stderr, "rankmoth-cli: %s: %s\n", caption.ToUtf8().c_str(), text.ToUtf8().c_str());
    return base::kButtonOk;
}

} // namespace rankmoth::cli
