#pragma once

#include "app/qt/event_action.h"
#include "app/qt/part_status_bar.h"
#include "app/qt/tab_control.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

#include <functional>
#include <string_view>
#include <vector>

namespace rankmoth::shell {

// A design name (base/control_names.h) as the objectName it is.
inline QString QtName(std::string_view name) {
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// The kinds of control the two windows are drawn from.
enum class Kind {
    Label,
    Edit,
    Button,
    CheckBox,
    Radio,
    Combo,
    Tab,
    Panel,
    Picture,
    ClickArea,
    ImageButton,
    Hyperlink,
    Browser,
    List,
    Progress,
};

// One control of a window's design: absolute position and size, as the windows have always been laid out.
struct ControlDesign {
    Kind kind;
    const char* name;    // design name, the objectName
    const char* caption; // caption, design text; for a combo box the entries separated by "|"
    int x, y, width, height;
    const char* parent = nullptr;     // container's design name, a tab page ("选择夹1#0"), or the window
    const char* font = nullptr;       // design font family, when not the window's
    int colour = -1;                  // caption colour 0xRRGGBB, -1 for the style's
    const char* accessible = nullptr; // accessible name, when the caption does not say it; labels have none
    bool hidden = false;
};

const std::vector<ControlDesign>& MainWindowDesign();
const std::vector<ControlDesign>& UpdateWindowDesign();

// The installed family that stands for a design font (微软雅黑, 宋体): the family itself when present,
// otherwise an installed CJK family.
QString FontFamilyFor(const QString& designFamily);
// The font of the windows: 9 pt in the CJK fallback, 12 pixels.
QFont WindowFont(const QString& designFamily = {});

// Builds every control of `design` inside `window`.
void BuildControls(QWidget* window, const std::vector<ControlDesign>& design);

// Chains the focus of a window's visible input controls in reading order (top to bottom, left to right).
void SetReadingTabOrder(QWidget* window);

} // namespace rankmoth::shell
