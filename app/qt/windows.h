#pragma once

#include <QWidget>

#include <functional>

namespace rankmoth::shell {

// A window of the program: fixed size, controls at their design positions. What happens on closing and on
// a change of placement is decided by the application.
class ShellWindow : public QWidget {
public:
    explicit ShellWindow(QWidget* parent = nullptr) : QWidget(parent) {}

    std::function<void()> onClose;
    std::function<void()> onPlacementChanged;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
};

// The windows with every control, timer and menu of their design; no event is bound yet.
ShellWindow* BuildMainWindow();
ShellWindow* BuildUpdateWindow();

// Entries of the main window's pop-up menus, in order. Each action of the tray menu carries its
// app::TrayMenuEntry (as an int) in QAction::data.
const QStringList& TrayMenuEntries();
const QStringList& ContextMenuEntries();

} // namespace rankmoth::shell
