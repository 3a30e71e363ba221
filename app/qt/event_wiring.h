#pragma once

#include <functional>
#include <string_view>
#include <vector>

class QWidget;

namespace rankmoth::shell {

// What a control does that the program answers.
enum class Signal {
    Clicked,         // a button, check box or radio button
    Toggled,         // a radio button selected or cleared, by whatever means
    TextChanged,     // an edit box, per keystroke
    EditingFinished, // an edit box: Enter, or the focus left it
    FocusIn,
    FocusOut,
    ContextMenu,   // a list's context menu asked for
    LeftPress,     // a left mouse press on a picture or click area, taken from the control
    LinkActivated, // a hyperlink label
    Timeout,       // a timer
};

// One line of a window's wiring: the control's design name, what it does, and the program's answer.
struct EventWire {
    std::string_view control;
    Signal signal;
    std::function<void()> hook;
};

// Connects every line to its control inside `window`. A control that is missing, or not of the kind its
// signal needs, is skipped: a window built without it has nothing to answer.
void WireEvents(QWidget* window, const std::vector<EventWire>& wiring);

} // namespace rankmoth::shell
