#pragma once

#include "base/pass_outcome.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

namespace rankmoth::testing {

// A folder of its own for one test, removed with the object.
class HistoryDir {
public:
    HistoryDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "rankmoth-history-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data());
    }
    ~HistoryDir() { std::filesystem::remove_all(path_); }
    std::string file(const std::string& name = "history.sqlite") const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

inline std::string FileBytes(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return {};
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// 2025-12-01T00:00:00Z plus `minutes`.
inline base::Clock::time_point At(int minutes) {
    return base::Clock::from_time_t(1764547200) + std::chrono::minutes(minutes);
}

inline base::ItemResult Found(const char* id, int page, int slice, const char* titleUtf8 = "") {
    base::ItemResult item;
    item.itemId = Text(id);
    item.title = Text::FromUtf8(titleUtf8);
    item.state = base::ItemState::Found;
    item.page = page;
    item.slice = slice;
    item.hits = 1;
    return item;
}

inline base::ItemResult Missing(const char* id, base::ItemState state = base::ItemState::NotFound) {
    base::ItemResult item;
    item.itemId = Text(id);
    item.state = state;
    return item;
}

inline base::PassOutcome Pass(const char* sort, int startMinute, std::vector<base::ItemResult> items,
                              const char* shop = "8001") {
    base::PassOutcome pass;
    pass.request.shop = Text(shop);
    pass.request.category = "clothing";
    pass.request.sort = sort;
    pass.request.pageLimit = 10;
    pass.started = At(startMinute);
    pass.finished = At(startMinute + 2);
    pass.pagesWalked = 10;
    pass.requests = 40;
    pass.items = std::move(items);
    return pass;
}

} // namespace rankmoth::testing
