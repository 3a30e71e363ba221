#pragma once

#include "base/controls.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace rankmoth::rank {

// The colours of single cells of the result list. One per process, owned by the composition root. At most
// one entry per cell; a cell coloured with exactly the list's own colours has none. Deleting the list's
// rows does not empty the table: a later row at the same index takes the colours over until it is coloured
// again. The rows of a pass are rewritten at the same indexes every pass, so the colours a seller sees stay
// put between passes.
class CellColourTable {
public:
    struct Entry {
        int row;
        int column;
        base::Colour text;
        base::Colour background;
    };

    // Records (or removes) the colours of one cell and hands the cell's resulting colours to the list. With
    // `useBackground` false the list's own background is taken instead of `background`.
    void SetCellColour(base::Controls& controls, std::string_view window, std::string_view list, int row, int column,
                       base::Colour text, base::Colour background, bool useBackground);

    std::optional<Entry> Find(int row, int column) const;
    const std::vector<Entry>& entries() const { return entries_; }
    const std::string& list() const { return list_; }

private:
    std::vector<Entry> entries_;
    std::string window_;
    std::string list_;
};

} // namespace rankmoth::rank
