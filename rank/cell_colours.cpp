#include "rank/cell_colours.h"

#include <algorithm>

namespace rankmoth::rank {

void CellColourTable::SetCellColour(base::Controls& controls, std::string_view window, std::string_view list, int row,
                                    int column, base::Colour text, base::Colour background, bool useBackground) {
    window_ = window;
    list_ = list;
    const base::Colour listText = controls.ListTextColour(window, list);
    const base::Colour listBackground = controls.ListBackgroundColour(window, list);
    const base::Colour effectiveBackground = useBackground ? background : listBackground;

    bool replaced = false;
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const Entry& e) { return e.row == row && e.column == column; });
    if (it != entries_.end()) {
        if (text == listText && background == listBackground) {
            entries_.erase(it);
        } else {
            *it = Entry{row, column, text, effectiveBackground};
            replaced = true;
        }
    }
    if (!replaced && !(text == listText && effectiveBackground == listBackground))
        entries_.push_back(Entry{row, column, text, effectiveBackground});

    const auto entry = Find(row, column);
    controls.SetCellColours(window, list, row, column, entry ? entry->text : listText,
                            entry ? entry->background : listBackground);
}

std::optional<CellColourTable::Entry> CellColourTable::Find(int row, int column) const {
    for (const Entry& e : entries_) {
        if (e.row == row && e.column == column)
            return e;
    }
    return std::nullopt;
}

} // namespace rankmoth::rank
