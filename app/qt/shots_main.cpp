// Renders both windows to PNG files, for looking at the layout without clicking through the program:
//   rankmoth-shots <output directory>
#include "app/qt/application.h"
#include "app/qt/windows.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication qtApp(argc, argv);
    const QString outDir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("out/screenshots");
    QDir().mkpath(outDir);

    rankmoth::shell::Application::Options options;
    options.bindCore = false;
    options.configFile = QDir(outDir).filePath("shots-config.ini").toStdString();
    options.skinDirectory = outDir;
    rankmoth::shell::Application program(options);
    program.endProgram = [](int) {};
    program.Start();

    QElapsedTimer waited;
    waited.start();
    while (!(program.mainWindow() && program.startupFinished()) && waited.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    // Let the queued control writes of the start-up land and the windows paint.
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    auto& controls = program.controls();
    using namespace rankmoth;
    const int row = controls.AddRow(base::kMainWindow, "超级列表框1", Text("1"));
    controls.SetCellText(base::kMainWindow, "超级列表框1", row, 1, Text("2046****"));
    controls.SetCellText(base::kMainWindow, "超级列表框1", row, 2, "在第3页靠上的位置发现了此宝贝"_gbk);
    controls.SetCellText(base::kMainWindow, "超级列表框1", row, 3, "最热"_gbk);
    controls.SetCellText(base::kMainWindow, "超级列表框1", row, 4, Text("2026-12-08 09:00:00"));
    controls.SetCellColours(base::kMainWindow, "超级列表框1", row, 3, base::Rgb(255, 255, 255), base::Rgb(255, 0, 0));
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);

    int failures = 0;
    const auto save = [&](QWidget* window, const char* file) {
        if (!window || !window->grab().save(QDir(outDir).filePath(file))) {
            std::fprintf(stderr, "rankmoth-shots: could not render %s\n", file);
            ++failures;
        }
    };
    save(program.mainWindow(), "main.png");
    if (program.updateWindow())
        program.updateWindow()->show();
    save(program.updateWindow(), "update.png");
    // The update window as a download shows it.
    controls.SetControlVisible(base::kUpdateWindow, "图片框1", true);
    controls.SetText(base::kUpdateWindow, "标签2", "m_update.zip  (来自 www.pellwood.example)"_gbk);
    controls.SetProgress(base::kUpdateWindow, "进度条1", 42);
    controls.SetText(base::kUpdateWindow, "标签10", "文件大小: 2.31 MB"_gbk);
    controls.SetText(base::kUpdateWindow, "标签11", "已下载: 0.97 MB (用时 3 秒)"_gbk);
    controls.SetText(base::kUpdateWindow, "标签4", "已完成: 42%"_gbk);
    QCoreApplication::processEvents();
    save(program.updateWindow(), "update-download.png");

    controls.SetCurrentTab(base::kMainWindow, "选择夹1", 1);
    QCoreApplication::processEvents();
    save(program.mainWindow(), "main-help.png");
    return failures == 0 ? 0 : 1;
}
