#include "app/qt/tab_control.h"

#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

#include <algorithm>

namespace rankmoth::shell {

namespace {
constexpr int kTabBarHeight = 21;
} // namespace

TabControl::TabControl(QWidget* parent) : QWidget(parent), bar_(new QTabBar(this)) {
    bar_->setDrawBase(false);
    bar_->setExpanding(false);
    QObject::connect(bar_, &QTabBar::currentChanged, this, [this](int index) { ShowPage(index); });
}

QWidget* TabControl::AddPage(const QString& title) {
    auto* page = new QWidget(this);
    // Named after the control, which has its name by the time its pages are added.
    page->setObjectName(objectName() + "#" + QString::number(pages_.size()));
    bar_->setObjectName(objectName() + "#tabs");
    page->setAccessibleName(title);
    page->setGeometry(0, 0, width(), height());
    pages_.push_back(page);
    bar_->addTab(title);
    bar_->raise();
    ShowPage(bar_->currentIndex());
    return page;
}

int TabControl::count() const {
    return static_cast<int>(pages_.size());
}
int TabControl::currentIndex() const {
    return bar_->currentIndex();
}
QString TabControl::tabText(int index) const {
    return bar_->tabText(index);
}

void TabControl::setCurrentIndex(int index) {
    if (index >= 0 && index < count())
        bar_->setCurrentIndex(index);
}

void TabControl::ShowPage(int index) {
    for (int i = 0; i < count(); ++i)
        pages_[static_cast<std::size_t>(i)]->setVisible(i == index);
}

void TabControl::resizeEvent(QResizeEvent*) {
    bar_->setGeometry(2, 0, std::min(bar_->sizeHint().width(), width() - 4), kTabBarHeight);
    for (QWidget* page : pages_)
        page->setGeometry(0, 0, width(), height());
}

void TabControl::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = QRect(0, kTabBarHeight - 1, width(), height() - kTabBarHeight + 1);
    frame.shape = QTabBar::RoundedNorth;
    frame.tabBarSize = bar_->size();
    frame.tabBarRect = bar_->geometry();
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}

} // namespace rankmoth::shell
