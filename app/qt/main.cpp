#include "app/qt/application.h"
#include "app/startup.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    // Under X11 the name is the window class, which the desktop matches to the launcher by its desktop ID.
    QApplication::setApplicationName("io.github.rankmoth.Rankmoth");
    QApplication::setApplicationVersion(QString::fromUtf8(rankmoth::app::kAppVersion));
    QApplication::setDesktopFileName("io.github.rankmoth.Rankmoth");
    rankmoth::shell::Application program;
    program.Start();
    // The program ends through its own end (the main window closing, a notice check, the update), which
    // leaves the process directly; this return covers an event loop that was asked to quit.
    return QApplication::exec();
}
