#include "app/history_view.h"

#include <gtest/gtest.h>

namespace rankmoth::app {
namespace {

using base::ItemState;

TEST(HistoryView, ChangeTexts) {
    struct Case {
        ItemState state;
        bool hasChange;
        int change;
        const char* text;
    } cases[] = {
        {ItemState::Found, true, 15, "↑15"},
        {ItemState::Found, true, -9, "↓9"},
        {ItemState::Found, true, 0, "="},
        {ItemState::Found, false, 0, ""},
        // Whatever the store left in `change`, an incomplete latest pass is never shown as a move.
        {ItemState::Incomplete, true, -40, ""},
    };
    for (const Case& c : cases) {
        history::SortStanding s;
        s.checked = true;
        s.state = c.state;
        s.page = 1;
        s.slice = 1;
        s.hasChange = c.hasChange;
        s.change = c.change;
        EXPECT_EQ(ChangeText(s), c.text) << c.change;
    }
}

} // namespace
} // namespace rankmoth::app
