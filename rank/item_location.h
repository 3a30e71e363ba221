#pragma once

#include "base/controls.h"
#include "base/text.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace rankmoth::rank {

// The part of the page a slice (1..10) stands for: 1-3 upper, 4-6 middle, 7-10 lower.
const Text& BandText(int sliceIndex);
// "在第" + page + band text: the rank position column of a result row.
Text RankPositionText(int page, int sliceIndex);

// "***" followed by all but the first three bytes of the ID; "***" alone for three bytes or fewer.
Text MaskItemId(const Text& id);

struct DateTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
DateTime LocalNow();
// "2024-3-5 9:05:07": minute and second with two digits, the rest plain.
Text FormatQueryTime(const DateTime& time);

struct CellColours {
    base::Colour text;
    base::Colour background;
};
// The colours of the sort cell: red on yellow (最热), red on cyan (最新), red on light green (the rest).
CellColours SortCellColours(const Text& sortLabel);

// "正在查询第" + j + "个，宝贝ID:" + id
Text ItemProgressCaption(int itemNumber, const Text& id);
// " 当前查询排序: " + label + " -> 当前查询页面: 第" + page + "页 -> 查询进度: " + (slice - 1) + " -> 宝贝进度: " + j
Text QueryProgressStatus(const Text& sortLabel, int page, int sliceIndex, int itemNumber);

// A slice prepared for many searches: the GBK character starts are found once, after which each search is
// a plain byte search whose hits are accepted only on a character start.
class GbkHaystack {
public:
    // Keeps a view of `text`, which must outlive the haystack.
    explicit GbkHaystack(const Text& text);
    explicit GbkHaystack(Text&&) = delete;
    // Byte-exact, case-sensitive; an empty needle is found whenever the text is not empty.
    bool Contains(const Text& needle) const;
    std::string_view text() const { return text_; }
    // True where a character starts: a match found at `at` by a plain byte search is a real one.
    bool StartsCharacter(std::size_t at) const { return trail_[at] == 0; }

private:
    std::string_view text_;
    std::vector<std::uint8_t> trail_; // 1 where a byte is the second byte of a double-byte character
};

} // namespace rankmoth::rank
