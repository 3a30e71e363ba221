#pragma once

#include "base/controls.h"

#include <array>
#include <optional>
#include <string_view>

namespace rankmoth::base {

// The orders a category listing can be walked in. The key is the listing's path word and what the history
// stores; the label is what a seller reads (UTF-8); the colour is the sort's line wherever positions are drawn.
enum class Sort { Pop, Hot30Day, New };

struct SortEntry {
    Sort sort;
    std::string_view key;
    std::string_view label;
    Colour chart;
};

// In the order the window, the history page and the reports show them.
inline constexpr std::array<SortEntry, 3> kSortTable{{
    {Sort::Pop, "pop", "潮流", Rgb(0x2f, 0x6f, 0xd0)},
    {Sort::Hot30Day, "hot30day", "最热", Rgb(0xd0, 0x3a, 0x3a)},
    {Sort::New, "new", "最新", Rgb(0x2e, 0x9d, 0x4f)},
}};
inline constexpr int kSortCount = static_cast<int>(kSortTable.size());

constexpr const SortEntry& EntryOf(Sort sort) { return kSortTable[static_cast<std::size_t>(sort)]; }
constexpr std::string_view KeyOf(Sort sort) { return EntryOf(sort).key; }

// The sort whose key is exactly `key`, or nothing.
constexpr std::optional<Sort> SortOfKey(std::string_view key) {
    for (const SortEntry& entry : kSortTable)
        if (entry.key == key)
            return entry.sort;
    return std::nullopt;
}
// The index of `key` in kSortTable, or -1: the column of a sort in per-sort arrays.
constexpr int SortIndex(std::string_view key) {
    const auto sort = SortOfKey(key);
    return sort ? static_cast<int>(*sort) : -1;
}

static_assert(EntryOf(Sort::New).sort == Sort::New, "kSortTable is indexed by Sort");

} // namespace rankmoth::base
