#include "rank/item_location.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

namespace rankmoth::rank {

const Text& BandText(int sliceIndex) {
    static const Text kUpper = "页靠上面的位置发现了此宝贝"_gbk;
    static const Text kMiddle = "页靠中间的位置发现了此宝贝"_gbk;
    static const Text kLower = "页靠下面的位置发现了此宝贝"_gbk;
    if (sliceIndex <= 3)
        return kUpper;
    if (sliceIndex <= 6)
        return kMiddle;
    return kLower;
}

Text RankPositionText(int page, int sliceIndex) {
    static const Text kAt = "在第"_gbk;
    return kAt + TextOfInteger(page) + BandText(sliceIndex);
}

Text MaskItemId(const Text& id) {
    Text masked("***");
    if (id.size() > 3)
        masked += Text(std::string_view(id.bytes()).substr(3));
    return masked;
}

DateTime LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

Text FormatQueryTime(const DateTime& t) {
    const auto twoDigits = [](int v) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%02d", v);
        return std::string(digits);
    };
    return Text(std::to_string(t.year) + "-" + std::to_string(t.month) + "-" + std::to_string(t.day) + " " +
                std::to_string(t.hour) + ":" + twoDigits(t.minute) + ":" + twoDigits(t.second));
}

CellColours SortCellColours(const Text& sortLabel) {
    static const Text kHottest = "最热"_gbk;
    static const Text kNewest = "最新"_gbk;
    if (sortLabel == kHottest)
        return {0x0000FF, 0x00FFFF};
    if (sortLabel == kNewest)
        return {0x0000FF, 0xFFFF00};
    return {0x0000FF, 0x80FF80};
}

Text ItemProgressCaption(int itemNumber, const Text& id) {
    static const Text kHead = "正在查询第"_gbk;
    static const Text kMid = "个，宝贝ID:"_gbk;
    return kHead + TextOfInteger(itemNumber) + kMid + id;
}

Text QueryProgressStatus(const Text& sortLabel, int page, int sliceIndex, int itemNumber) {
    static const Text kSort = " 当前查询排序: "_gbk;
    static const Text kPage = " -> 当前查询页面: 第"_gbk;
    static const Text kSlice = "页 -> 查询进度: "_gbk;
    static const Text kItem = " -> 宝贝进度: "_gbk;
    return kSort + sortLabel + kPage + TextOfInteger(page) + kSlice + TextOfInteger(sliceIndex - 1) + kItem +
           TextOfInteger(itemNumber);
}

GbkHaystack::GbkHaystack(const Text& text) : text_(text.bytes()), trail_(text_.size(), 0) {
    for (std::size_t i = 0; i < text_.size();) {
        if (static_cast<unsigned char>(text_[i]) >= 0x80 && i + 1 < text_.size()) {
            trail_[i + 1] = 1;
            i += 2;
        } else {
            ++i;
        }
    }
}

bool GbkHaystack::Contains(const Text& needle) const {
    if (needle.empty())
        return !text_.empty();
    const std::string_view n = needle.bytes();
    const char* begin = text_.data();
    const char* end = begin + text_.size();
    for (const char* from = begin; from < end;) {
        const void* hit = memmem(from, end - from, n.data(), n.size());
        if (!hit)
            return false;
        const auto at = static_cast<std::size_t>(static_cast<const char*>(hit) - begin);
        if (!trail_[at])
            return true;
        from = begin + at + 1;
    }
    return false;
}

} // namespace rankmoth::rank
