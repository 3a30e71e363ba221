#include "sources/sub_categories.h"

#include "base/control_names.h"

#include <cstdio>

namespace rankmoth::sources {

std::string SubCategoryFile(const std::string& directory) {
    return directory + "/XiaoFenLei.txt";
}

std::vector<Text> SplitSubCategories(const Text& content) {
    std::vector<Text> entries = SplitAll(content, Text("\r\n"));
    if (!entries.empty() && entries.back().empty())
        entries.pop_back();
    return entries;
}

void LoadSubCategories(base::Controls& controls, const std::string& path) {
    // Plain stdio: a path that opens but cannot be read (a directory) just reads as empty, without the
    // exception a stream buffer throws there.
    Bytes content;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            content.append(buffer, n);
        std::fclose(file);
    }
    for (const Text& entry : SplitSubCategories(TextOf(content)))
        controls.AddComboEntry(base::kMainWindow, base::names::main_window::kSubCategoryCombo, entry);
}

} // namespace rankmoth::sources
