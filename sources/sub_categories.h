#pragma once

#include "base/controls.h"
#include "base/text.h"

#include <string>
#include <vector>

namespace rankmoth::sources {

// "XiaoFenLei.txt" in `directory` (joined with a forward slash).
std::string SubCategoryFile(const std::string& directory);

// The entries of the file's content: each CR LF ends one entry (empty ones included), and what follows the
// last CR LF is an entry only when it is not empty.
std::vector<Text> SplitSubCategories(const Text& content);

// Appends the entries of the file at `path` to 组合框_小分类; a missing or unreadable file adds none.
void LoadSubCategories(base::Controls& controls, const std::string& path);

} // namespace rankmoth::sources
