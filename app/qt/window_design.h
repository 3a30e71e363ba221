#pragma once

#include <QColor>
#include <QFrame>
#include <QString>
#include <QWidget>

#include <functional>
#include <string_view>
#include <vector>

class QLabel;
class QTabBar;

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

// A tab control whose pages share its own coordinates, so that controls keep their design positions
// relative to the tab control.
class TabControl : public QWidget {
public:
    explicit TabControl(QWidget* parent);
    QWidget* AddPage(const QString& title);
    int count() const;
    int currentIndex() const;
    void setCurrentIndex(int index);
    QString tabText(int index) const;
    QTabBar* tabBar() const { return bar_; }
    QWidget* page(int index) const { return pages_.at(static_cast<std::size_t>(index)); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ShowPage(int index);
    QTabBar* bar_;
    std::vector<QWidget*> pages_;
};

// A status bar of fixed-width parts side by side; the last part takes what is left of the window's width.
class PartStatusBar : public QFrame {
public:
    // `roles` become the parts' accessible descriptions; their names are their texts.
    PartStatusBar(QWidget* parent, const std::vector<int>& widths, const std::vector<QString>& roles);
    int partCount() const { return static_cast<int>(parts_.size()); }
    QLabel* part(int index) const;
    void setPartWidth(int index, int width);
    // Writes a part's text. A part of fixed width draws it smaller, down to 9 pixels, rather than cut it
    // off: the state part holds counts of up to four digits each in its 126 pixels.
    void setPartText(int index, const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Arrange();
    void FitText(int index);
    std::vector<QLabel*> parts_;
    std::vector<int> widths_;
};

// Calls `action` for every event of `type` that reaches `target`; the event is left to the target unless
// `action` returns true.
void OnEvent(QObject* target, int type, std::function<bool(QEvent*)> action);

// Builds every control of `design` inside `window`.
void BuildControls(QWidget* window, const std::vector<ControlDesign>& design);

// Chains the focus of a window's visible input controls in reading order (top to bottom, left to right).
void SetReadingTabOrder(QWidget* window);

} // namespace rankmoth::shell
