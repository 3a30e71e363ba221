#pragma once

#include <QFrame>
#include <QString>

#include <vector>

class QLabel;

namespace rankmoth::shell {

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

} // namespace rankmoth::shell
