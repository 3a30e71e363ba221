#include "app/qt/part_status_bar.h"

#include <QLabel>

#include <algorithm>

namespace rankmoth::shell {

PartStatusBar::PartStatusBar(QWidget* parent, const std::vector<int>& widths, const std::vector<QString>& roles)
    : QFrame(parent), widths_(widths) {
    setFrameShape(QFrame::NoFrame);
    for (std::size_t i = 0; i < widths.size(); ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QString("part%1").arg(i));
        label->setTextFormat(Qt::PlainText);
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        // The part's name is its text, so that each new state or result is heard; what the part is for
        // goes in the description.
        if (i < roles.size()) {
            label->setAccessibleDescription(roles[i]);
            label->setProperty("role", roles[i]);
        }
        parts_.push_back(label);
    }
    Arrange();
}

QLabel* PartStatusBar::part(int index) const {
    return index >= 0 && index < partCount() ? parts_[static_cast<std::size_t>(index)] : nullptr;
}

void PartStatusBar::setPartWidth(int index, int width) {
    if (!part(index) || width < 0)
        return;
    widths_[static_cast<std::size_t>(index)] = width;
    Arrange();
    FitText(index);
}

void PartStatusBar::setPartText(int index, const QString& text) {
    QLabel* label = part(index);
    if (!label)
        return;
    label->setText(text);
    FitText(index);
}

void PartStatusBar::FitText(int index) {
    QLabel* label = part(index);
    if (!label || index + 1 == partCount())
        return;
    QFont font = this->font();
    label->setFont(font);
    const int usual = QFontInfo(font).pixelSize();
    for (int pixels = usual - 1; pixels >= 9 && label->sizeHint().width() > label->width(); --pixels) {
        font.setPixelSize(pixels);
        label->setFont(font);
    }
}

void PartStatusBar::resizeEvent(QResizeEvent*) {
    Arrange();
}

void PartStatusBar::Arrange() {
    int x = 0;
    for (int i = 0; i < partCount(); ++i) {
        // The last part reaches to the window's edge whatever its width, as a status bar always drew it.
        const bool last = i + 1 == partCount();
        const int w = last ? std::max(0, width() - x) : std::min(widths_[static_cast<std::size_t>(i)], width() - x);
        parts_[static_cast<std::size_t>(i)]->setGeometry(x, 1, std::max(0, w), std::max(0, height() - 2));
        x += std::max(0, w) + (last ? 0 : 2);
    }
}

} // namespace rankmoth::shell
