#pragma once

#include "app/startup.h"

#include <QIcon>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QSystemTrayIcon;
class QWidget;

namespace rankmoth::shell {

// The program's icon in the system tray: shown while the desktop has a tray, taken down when the tray goes,
// and the mouse on it handed to the core as the window's tray events.
class TrayPresence {
public:
    // `fixed` answers whether there is a tray once and for all; otherwise `probe` is asked on every look,
    // or QSystemTrayIcon::isSystemTrayAvailable when it is empty.
    TrayPresence(std::optional<bool> fixed, std::function<bool()> probe);
    ~TrayPresence();
    TrayPresence(const TrayPresence&) = delete;
    TrayPresence& operator=(const TrayPresence&) = delete;

    // Puts the icon up for `window` (the main window) and follows the tray from then on, every second.
    void Create(QWidget* window, const QIcon& icon, const QString& tip, std::function<void(app::TrayMouse)> onMouse);

    bool available() const;
    // Our icon is in the tray: only then may the window hide there.
    bool shown() const;
    QSystemTrayIcon* icon() const { return icon_; }
    // Shows the icon when a tray has come up since the last look, and takes it down when the tray has gone
    // (a window waiting in that tray comes back to the task bar).
    void Follow();
    // A balloon at the icon; false (nothing shown) while the icon is not in a tray.
    bool ShowMessage(const QString& title, const QString& text);
    // Once the program is ending, the icon stays as it is.
    void StopFollowing() { following_ = false; }
    void Hide();

private:
    std::optional<bool> fixed_;
    std::function<bool()> probe_;
    QPointer<QWidget> window_;
    QSystemTrayIcon* icon_ = nullptr;
    bool following_ = true;
};

} // namespace rankmoth::shell
