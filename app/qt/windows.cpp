#include "app/qt/windows.h"

#include "app/main_actions.h"
#include "app/qt/assets.h"
#include "app/qt/window_design.h"
#include "app/startup.h"
#include "base/control_names.h"
#include "base/controls.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QCloseEvent>
#include <QMenu>
#include <QTimer>

// Resources of a static library are registered by hand, and only from the global namespace.
static void InitShellResources() {
    Q_INIT_RESOURCE(rankmoth);
}

namespace rankmoth::shell {

void ShellWindow::closeEvent(QCloseEvent* event) {
    event->accept();
    if (onClose)
        onClose();
}

void ShellWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && onPlacementChanged)
        onPlacementChanged();
}

namespace {
namespace mw = base::names::main_window;

void AddTimer(QWidget* window, std::string_view name, int interval) {
    auto* timer = new QTimer(window);
    timer->setObjectName(QtName(name));
    if (interval > 0)
        timer->start(interval);
}

void AddMenu(QWidget* window, std::string_view name, const QStringList& entries) {
    auto* menu = new QMenu(window);
    menu->setObjectName(QtName(name));
    for (const QString& entry : entries)
        menu->addAction(entry);
}

struct TrayLine {
    const char* caption;
    app::TrayMenuEntry entry;
};
constexpr TrayLine kTrayLines[] = {
    {"下载Fernlane软件", app::TrayMenuEntry::DownloadFernlane},
    {"下载Tarnbay软件", app::TrayMenuEntry::DownloadTarnbay},
    {"代理赚钱", app::TrayMenuEntry::Agent},
    {"帮助", app::TrayMenuEntry::Help},
    {"退出", app::TrayMenuEntry::Exit},
};

// A plain top-level widget reads as a filler to assistive technology; the program's windows are frames that
// carry their titles.
QAccessibleInterface* WindowAccessible(const QString&, QObject* object) {
    auto* window = dynamic_cast<ShellWindow*>(object);
    return window && window->isWindow() ? new QAccessibleWidget(window, QAccessible::Window) : nullptr;
}

ShellWindow* NewWindow(const char* name, const QString& title, int width, int height) {
    static const bool accessibleWindows = (QAccessible::installFactory(WindowAccessible), true);
    (void)accessibleWindows;
    auto* window = new ShellWindow;
    window->setObjectName(QString::fromUtf8(name));
    window->setWindowTitle(title);
    window->setWindowIcon(WindowIcon());
    window->setFont(WindowFont());
    window->move(50, 50);
    window->setFixedSize(width, height);
    window->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    return window;
}
} // namespace

const QStringList& TrayMenuEntries() {
    static const QStringList entries = [] {
        QStringList captions;
        for (const TrayLine& line : kTrayLines)
            captions << QString::fromUtf8(line.caption);
        return captions;
    }();
    return entries;
}

const QStringList& ContextMenuEntries() {
    static const QStringList entries = {"打开宝贝", "打开宝贝所在页 [大类]   ", "打开宝贝所在页 [小类]"};
    return entries;
}

ShellWindow* BuildMainWindow() {
    constexpr int width = 583, height = 591, statusHeight = 22;
    InitShellResources();
    ShellWindow* window =
        NewWindow("MainWindow", QString::fromStdString(app::MainWindowTitle().ToUtf8()), width, height);
    BuildControls(window, MainWindowDesign());

    auto* status = new PartStatusBar(window, {126, 1000}, {"程序状态", "进度和结果"});
    status->setObjectName(QtName(mw::kStatusBar));
    status->setAccessibleName("状态栏");
    status->setAccessibleDescription(QtName(mw::kStatusBar));
    status->setGeometry(0, height - statusHeight, width, statusHeight);

    // The file dialog is never opened; it only keeps its initial directory.
    auto* dialog = new QObject(window);
    dialog->setObjectName(QtName(mw::kFileDialog));
    dialog->setProperty("text", QString());

    AddTimer(window, mw::kMonitorTimer, 0);
    AddTimer(window, mw::kNewsTimer, 120000);
    AddTimer(window, mw::kSiteConfigTimer, 0);
    AddTimer(window, mw::kAutoSearchTimer, 0);
    AddTimer(window, mw::kDockTimer, 0);

    auto* tray = new QMenu(window);
    tray->setObjectName(QtName(mw::kTrayMenu));
    for (const TrayLine& line : kTrayLines)
        tray->addAction(QString::fromUtf8(line.caption))->setData(static_cast<int>(line.entry));
    AddMenu(window, mw::kContextMenu, ContextMenuEntries());

    SetReadingTabOrder(window);
    return window;
}

ShellWindow* BuildUpdateWindow() {
    ShellWindow* window =
        NewWindow("UpdateWindow", QString::fromStdString(app::UpdateWindowTitle().ToUtf8()), 354, 200);
    BuildControls(window, UpdateWindowDesign());
    AddTimer(window, base::names::update_window::kTimer1, 0);
    AddTimer(window, base::names::update_window::kTimer2, 0);
    SetReadingTabOrder(window);
    return window;
}

} // namespace rankmoth::shell
