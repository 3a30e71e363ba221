// QtControls on edit boxes, labels, buttons, check boxes and radio buttons, and the tips shown at them.
#include "app/qt/part_status_bar.h"
#include "app/qt/qt_controls_access.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>

#include <algorithm>

namespace rankmoth::shell {

namespace {
constexpr const char* kHintTipName = "hintTip";

QLabel* HintTipOf(QWidget* window) {
    return window->findChild<QLabel*>(kHintTipName, Qt::FindDirectChildrenOnly);
}

// Shown at once, not only on hovering: the user has just acted on this control.
// Not a QToolTip, which hides itself on any key press or release and any focus
// change in the program, and the hints come exactly when Tab or Enter leaves a
// box. A label of the window, under the control, stands until the writer clears
// it, and moves with the window.
void ShowHintTip(QWidget* control, const QString& text) {
    QWidget* window = control->window();
    if (!control->isVisible() || window == control)
        return;
    QLabel* tip = HintTipOf(window);
    if (!tip) {
        tip = new QLabel(window);
        tip->setObjectName(kHintTipName);
        tip->setTextFormat(Qt::PlainText);
        tip->setAttribute(Qt::WA_TransparentForMouseEvents);
        tip->setStyleSheet("QLabel { background: #ffffe1; color: #000000; border: "
                           "1px solid #767676;"
                           " padding: 2px 4px; }");
    }
    tip->setProperty("anchor", control->objectName());
    tip->setText(text);
    tip->adjustSize();
    QPoint at = control->mapTo(window, QPoint(0, control->height() + 2));
    // Inside the window, above the control when there is no room under it.
    at.setX(std::clamp(at.x(), 2, std::max(2, window->width() - tip->width() - 2)));
    if (at.y() + tip->height() > window->height())
        at.setY(control->mapTo(window, QPoint(0, 0)).y() - tip->height() - 2);
    tip->move(at);
    tip->raise();
    tip->show();
}

// Only the tip of this control goes: another control's hint may stand in its
// place already.
void HideHintTip(QWidget* control) {
    QLabel* tip = HintTipOf(control->window());
    if (tip && tip->property("anchor").toString() == control->objectName())
        tip->hide();
}
} // namespace

Text QtControls::GetText(std::string_view window, std::string_view control) {
    return Read<QObject>(window, control, Text(), [](QObject* o) {
        if (auto* edit = qobject_cast<QLineEdit*>(o))
            return T(edit->text());
        if (auto* label = qobject_cast<QLabel*>(o))
            return T(label->property("caption").isValid() ? label->property("caption").toString() : label->text());
        if (auto* button = qobject_cast<QAbstractButton*>(o))
            return T(button->text());
        if (auto* combo = qobject_cast<QComboBox*>(o))
            return T(combo->currentText());
        return T(o->property("text").toString());
    });
}

void QtControls::SetText(std::string_view window, std::string_view control, const Text& text) {
    Write<QObject>(window, control, [value = Q(text)](QObject* o) {
        if (auto* edit = qobject_cast<QLineEdit*>(o))
            edit->setText(value);
        else if (auto* label = qobject_cast<QLabel*>(o); label && !label->property("caption").isValid())
            label->setText(value);
        else if (auto* button = qobject_cast<QAbstractButton*>(o))
            button->setText(value);
        else if (!o->isWidgetType())
            o->setProperty("text", value);
    });
}

bool QtControls::IsChecked(std::string_view window, std::string_view control) {
    return Read<QAbstractButton>(window, control, false, [](QAbstractButton* b) { return b->isChecked(); });
}

void QtControls::SetChecked(std::string_view window, std::string_view control, bool checked) {
    Write<QAbstractButton>(window, control, [checked](QAbstractButton* b) {
        if (b->isCheckable())
            b->setChecked(checked);
    });
}

void QtControls::SetEnabled(std::string_view window, std::string_view control, bool enabled) {
    Write<QWidget>(window, control, [enabled](QWidget* w) { w->setEnabled(enabled); });
}

void QtControls::SetControlVisible(std::string_view window, std::string_view control, bool visible) {
    Write<QWidget>(window, control, [visible](QWidget* w) { w->setVisible(visible); });
}

void QtControls::SetFocus(std::string_view window, std::string_view control) {
    Write<QWidget>(window, control, [](QWidget* w) { w->setFocus(Qt::OtherFocusReason); });
}

void QtControls::SetToolTip(std::string_view window, std::string_view control, const Text& tip) {
    Write<QWidget>(window, control, [value = Q(tip)](QWidget* w) {
        // A status part is read, not acted on: its tip waits for the pointer, and
        // its description says the same to assistive tools (back to what the part
        // is for once the tip goes).
        if (dynamic_cast<PartStatusBar*>(w->parentWidget())) {
            w->setToolTip(value);
            w->setAccessibleDescription(value.isEmpty() ? w->property("role").toString() : value);
            return;
        }
        w->setToolTip(value);
        if (value.isEmpty())
            HideHintTip(w);
        else
            ShowHintTip(w, value);
    });
}

} // namespace rankmoth::shell
