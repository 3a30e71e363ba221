#pragma once

#include <QString>
#include <QWidget>

#include <vector>

class QTabBar;

namespace rankmoth::shell {

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

} // namespace rankmoth::shell
