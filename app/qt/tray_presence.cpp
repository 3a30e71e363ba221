#include "app/qt/tray_presence.h"

#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace rankmoth::shell {

namespace {
constexpr int kTrayWatchMs = 1000;

app::TrayMouse MouseOf(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return app::TrayMouse::LeftDown;
    case QSystemTrayIcon::DoubleClick:
        return app::TrayMouse::LeftDoubleClick;
    case QSystemTrayIcon::Context:
        return app::TrayMouse::RightDown;
    default:
        return app::TrayMouse::Other;
    }
}
} // namespace

TrayPresence::TrayPresence(std::optional<bool> fixed, std::function<bool()> probe)
    : fixed_(fixed), probe_(std::move(probe)) {}

TrayPresence::~TrayPresence() {
    delete icon_;
}

void TrayPresence::Create(QWidget* window, const QIcon& icon, const QString& tip,
                          std::function<void(app::TrayMouse)> onMouse) {
    window_ = window;
    icon_ = new QSystemTrayIcon(icon);
    icon_->setToolTip(tip);
    QObject::connect(
        icon_, &QSystemTrayIcon::activated, window,
        [onMouse = std::move(onMouse)](QSystemTrayIcon::ActivationReason reason) { onMouse(MouseOf(reason)); });
    // A panel may start after the program, or restart: the icon follows the tray, not only the tray there
    // was at creation.
    Follow();
    auto* watch = new QTimer(window);
    watch->setObjectName("trayWatch");
    QObject::connect(watch, &QTimer::timeout, window, [this] { Follow(); });
    watch->start(kTrayWatchMs);
}

bool TrayPresence::available() const {
    if (fixed_)
        return *fixed_;
    return probe_ ? probe_() : QSystemTrayIcon::isSystemTrayAvailable();
}

bool TrayPresence::shown() const {
    return icon_ && icon_->isVisible();
}

void TrayPresence::Follow() {
    if (!icon_ || !window_ || !following_)
        return;
    const bool tray = available();
    if (tray && !icon_->isVisible()) {
        icon_->show();
    } else if (!tray && icon_->isVisible()) {
        icon_->hide();
        if (!window_->isVisible() && window_->isMinimized())
            window_->showMinimized();
    }
}

bool TrayPresence::ShowMessage(const QString& title, const QString& text) {
    if (!icon_ || !available() || !icon_->isVisible())
        return false;
    icon_->showMessage(title, text, QSystemTrayIcon::Information);
    return true;
}

void TrayPresence::Hide() {
    if (icon_)
        icon_->hide();
}

} // namespace rankmoth::shell
