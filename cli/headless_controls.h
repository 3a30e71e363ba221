#pragma once

#include "base/null_controls.h"

namespace rankmoth::cli {

// The control set of a program without windows, for the web layer's WebEnv: writes go nowhere, reads are
// empty, and a message box becomes one line on stderr answered with OK.
class HeadlessControls final : public base::NullControls {
public:
    int MessageBox(const Text& text, int style, const Text& caption) override;
};

} // namespace rankmoth::cli
