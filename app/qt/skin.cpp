#include "app/qt/skin.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace rankmoth::shell {

namespace {
const char* const kSkin28 = R"(/* Rankmoth skin. Edit freely: the program reads this file at every start. */
QWidget#MainWindow, QWidget#UpdateWindow {
    background-color: #eef3f9;
}
QPushButton {
    border: 1px solid #7f9db9;
    border-radius: 3px;
    padding: 0px 2px;
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #dbe6f3);
}
QPushButton:hover {
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #ffffff, stop:1 #c5dbf5);
    border-color: #3c7fb1;
}
QPushButton:pressed {
    background-color: #b9d1ee;
}
QPushButton:disabled {
    color: #8a8a8a;
    border-color: #b5c4d3;
}
QLineEdit {
    border: 1px solid #7f9db9;
    background: #ffffff;
    padding: 0px 2px;
}
QLineEdit:focus {
    border-color: #3c7fb1;
}
QTreeWidget {
    border: 1px solid #7f9db9;
    background: #ffffff;
}
QHeaderView::section {
    background-color: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #fbfdff, stop:1 #e1eaf5);
    border: none;
    border-right: 1px solid #c3d2e3;
    border-bottom: 1px solid #c3d2e3;
    padding: 2px 4px;
}
QTabBar::tab {
    background: #dde7f2;
    border: 1px solid #9fb5cc;
    border-bottom: none;
    padding: 2px 10px;
    margin-right: 2px;
    min-height: 16px;
}
QTabBar::tab:selected {
    background: #ffffff;
}
QFrame#状态条1 {
    background: #e4ebf4;
    border-top: 1px solid #b5c4d3;
}
QFrame#状态条1 QLabel {
    border: 1px solid #c3d2e3;
    padding-left: 2px;
}
QToolButton {
    border: none;
    background: transparent;
}
QToolButton:hover {
    border: 1px solid #7f9db9;
    border-radius: 3px;
}
)";
} // namespace

QString SkinBlock(int number) {
    return number == 28 ? QString::fromUtf8(kSkin28) : QString();
}

QString AttachSkin(int number, const QString& directory) {
    const QString block = SkinBlock(number);
    const QString path = QDir(directory).filePath(kSkinFileName);
    QString sheet = block;
    if (!block.isEmpty()) {
        if (!QFile::exists(path)) {
            QSaveFile out(path);
            if (out.open(QIODevice::WriteOnly)) {
                out.write(block.toUtf8());
                out.commit();
            }
        }
        QFile in(path);
        if (in.open(QIODevice::ReadOnly))
            sheet = QString::fromUtf8(in.readAll());
    }
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        app->setStyleSheet(sheet);
    return sheet;
}

} // namespace rankmoth::shell
