// QtControls: finding a control, status bars, timers, progress bars, tabs, pages, windows and the services
// that leave the window. Text controls and item controls have files of their own.
#include "app/qt/qt_controls.h"

#include "app/qt/qt_controls_access.h"
#include "app/qt/window_design.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QTextBrowser>
#include <QTimer>

namespace rankmoth::shell {

QtControls::QtControls(WindowHost& host) : host_(host), context_(new QObject) {}

QtControls::~QtControls() {
    delete context_;
}

QObject* QtControls::Find(std::string_view window, std::string_view control) const {
    QWidget* w = host_.FindWindow(window);
    if (!w)
        return nullptr;
    if (QObject* found = w->findChild<QObject*>(QtName(control)))
        return found;
    // "状态条1#0": one part of a status bar, addressed as a control of its own.
    if (const std::size_t hash = control.rfind('#'); hash != std::string_view::npos) {
        bool number = false;
        const int part = QtName(control.substr(hash + 1)).toInt(&number);
        // PartStatusBar has no meta-object of its own, so findChild would take any
        // frame of that name.
        auto* bar = dynamic_cast<PartStatusBar*>(w->findChild<QWidget*>(QtName(control.substr(0, hash))));
        if (bar && number)
            return bar->part(part);
    }
    return nullptr;
}

base::Colour QtControls::ToColour(const QColor& c) {
    return base::Rgb(static_cast<unsigned>(c.red()), static_cast<unsigned>(c.green()), static_cast<unsigned>(c.blue()));
}

QColor QtControls::FromColour(base::Colour c) {
    return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

// ---- status bar

void QtControls::SetStatusText(std::string_view window, std::string_view control, int part, const Text& text) {
    Write<PartStatusBar>(window, control, [part, value = Q(text)](PartStatusBar* s) { s->setPartText(part, value); });
}

Text QtControls::StatusText(std::string_view window, std::string_view control, int part) {
    return Read<PartStatusBar>(window, control, Text(), [part](PartStatusBar* s) {
        QLabel* label = s->part(part);
        return label ? T(label->text()) : Text();
    });
}

void QtControls::SetStatusPartWidth(std::string_view window, std::string_view control, int part, int width) {
    Write<PartStatusBar>(window, control, [part, width](PartStatusBar* s) { s->setPartWidth(part, width); });
}

// ---- timers, progress, tabs, pages

void QtControls::SetTimerInterval(std::string_view window, std::string_view control, int milliseconds) {
    Write<QTimer>(window, control, [milliseconds](QTimer* t) {
        if (milliseconds <= 0) {
            t->stop();
            t->setInterval(0);
        } else {
            t->start(milliseconds);
        }
    });
}

int QtControls::TimerInterval(std::string_view window, std::string_view control) {
    return Read<QTimer>(window, control, 0, [](QTimer* t) { return t->isActive() ? t->interval() : 0; });
}

void QtControls::SetProgress(std::string_view window, std::string_view control, int percent) {
    Write<QProgressBar>(window, control, [percent](QProgressBar* p) { p->setValue(std::clamp(percent, 0, 100)); });
}

void QtControls::SetCurrentTab(std::string_view window, std::string_view control, int index) {
    Write<QWidget>(window, control, [index](QWidget* w) {
        if (auto* tabs = dynamic_cast<TabControl*>(w))
            tabs->setCurrentIndex(index);
    });
}

void QtControls::ReloadPage(std::string_view window, std::string_view control) {
    Write<QTextBrowser>(window, control, [](QTextBrowser* b) {
        b->reload();
        b->setProperty("reloads", b->property("reloads").toInt() + 1);
    });
}

// ---- windows

void QtControls::LoadWindow(std::string_view window, bool modal) {
    Answer([&] { host_.LoadWindow(window, modal); });
}

void QtControls::CloseWindow(std::string_view window) {
    Answer([&] { host_.CloseWindow(window); });
}

bool QtControls::IsWindowVisible(std::string_view window) {
    return Answer([&] {
        QWidget* w = host_.FindWindow(window);
        return w && w->isVisible();
    });
}

void QtControls::SetWindowVisible(std::string_view window, bool visible) {
    Post([this, name = std::string(window), visible] {
        if (QWidget* w = host_.FindWindow(name))
            w->setVisible(visible);
    });
}

base::Placement QtControls::WindowPlacement(std::string_view window) {
    return Answer([&] {
        QWidget* w = host_.FindWindow(window);
        return w && w->isMinimized() ? base::Placement::Minimised : base::Placement::Normal;
    });
}

void QtControls::SetWindowPlacement(std::string_view window, base::Placement placement) {
    Post([this, name = std::string(window), placement] {
        QWidget* w = host_.FindWindow(name);
        if (!w)
            return;
        if (placement == base::Placement::Minimised)
            w->setWindowState(w->windowState() | Qt::WindowMinimized);
        else
            w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    });
}

void QtControls::SetAlwaysOnTop(std::string_view window, bool onTop) {
    Post([this, name = std::string(window), onTop] {
        QWidget* w = host_.FindWindow(name);
        if (!w || w->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop)
            return;
        // Changing a window's flags hides it; show it again as it was.
        const bool wasVisible = w->isVisible();
        w->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
        if (wasVisible) {
            w->show();
            if (onTop) {
                w->raise();
                w->activateWindow();
            }
        }
    });
}

void QtControls::PopupMenuAtCursor(std::string_view window, std::string_view menu) {
    Post([this, w = std::string(window), m = std::string(menu)] {
        if (auto* popup = qobject_cast<QMenu*>(Find(w, m)))
            popup->popup(QCursor::pos());
    });
}

// ---- the rest

int QtControls::MessageBox(const Text& text, int style, const Text& caption) {
    return Answer([&] { return host_.ShowMessageBox(Q(text), style, Q(caption)); });
}

void QtControls::OpenAddress(const std::string& address) {
    Post([this, address] { host_.OpenAddress(address); });
}

void QtControls::PlayAlertSound() {
    Post([this] { host_.PlayAlertSound(); });
}

bool QtControls::StartProcess(const std::string& path) {
    const QString program = QString::fromStdString(path);
    const QString absolute = QFileInfo(program).isAbsolute() ? program : QDir::current().absoluteFilePath(program);
    return QProcess::startDetached(absolute, {}, QDir::currentPath());
}

void QtControls::EndProgram(int exitCode) {
    Answer([&] { host_.EndProgram(exitCode); });
}

} // namespace rankmoth::shell
