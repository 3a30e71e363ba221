#include "sources/sub_categories.h"

#include <fstream>
#include <iterator>

namespace rankmoth::sources {

std::string SubCategoryFile(const std::string& directory) { return directory + "/XiaoFenLei.txt"; }

std::vector<Text> SplitSubCategories(const Text& content) {
    std::vector<Text> entries = SplitAll(content, Text("\r\n"));
    if (!entries.empty() && entries.back().empty())
        entries.pop_back();
    return entries;
}

void LoadSubCategories(app::Controls& controls, const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return;
    const Bytes content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    for (const Text& entry : SplitSubCategories(TextOf(content)))
        controls.AddComboEntry(app::kMainWindow, "组合框_小分类", entry);
}

} // namespace rankmoth::sources
