#pragma once

// A real Application built in-process with the core left unbound, its services that would leave the process
// recorded instead, for the Qt tests of the shell.
// moc needs none of the program's headers, and its own parser stumbles over the C++20 library ones.
#ifndef Q_MOC_RUN
#include "app/qt/application.h"
#include "base/settings.h"
#endif

#include <QComboBox>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace rankmoth::testing {

class ShellFixture {
protected:
    struct Box {
        QString text;
        int style;
        QString caption;
    };

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<shell::Application> app_;
    std::vector<Box> boxes_;
    std::vector<std::string> opened_;
    std::vector<int> exits_;

    // For the test's init(): a fresh folder, nothing recorded.
    void Begin() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        boxes_.clear();
        opened_.clear();
        exits_.clear();
    }
    // For the test's cleanup().
    void End() {
        app_.reset();
        dir_.reset();
    }

    void Make(std::optional<bool> tray = false, std::function<bool()> trayProbe = {}) {
        shell::Application::Options options;
        options.bindCore = false;
        options.configFile = dir_->filePath("config.ini").toStdString();
        options.skinDirectory = dir_->path();
        options.trayAvailable = tray;
        options.historyFile = dir_->filePath("history.sqlite").toStdString();
        options.trayProbe = std::move(trayProbe);
        app_ = std::make_unique<shell::Application>(options);
        app_->messageBox = [this](const QString& text, int style, const QString& caption) {
            boxes_.push_back({text, style, caption});
            return base::kButtonOk;
        };
        app_->openAddress = [this](const std::string& address) { opened_.push_back(address); };
        app_->endProgram = [this](int code) { exits_.push_back(code); };
    }
    // Starts the program and waits for the start-up loading to be over.
    void StartAndSettle() {
        app_->Start();
        QTRY_VERIFY(app_->mainWindow() && app_->mainWindow()->isVisible());
        QTRY_VERIFY(app_->startupFinished());
        QTRY_COMPARE(Main<QComboBox>("组合框_大分类")->currentIndex(), 0);
        QTRY_VERIFY(Main<QWidget>("选择夹1")->isEnabled());
    }
    // Lets the actions queued so far run, without waiting for time to pass.
    static void DrainEvents() {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
        }
    }
    template <class W> W* Main(const char* name) { return app_->mainWindow()->findChild<W*>(QString::fromUtf8(name)); }
    void Tick(const char* timer, int times = 1) {
        for (int i = 0; i < times; ++i)
            QVERIFY(QMetaObject::invokeMethod(Main<QTimer>(timer), "timeout"));
    }
    QString Stored() {
        return QString::fromStdString(
            base::ReadSetting(app_->configFile(), Text("canshu"), Text("youdianid")).ToUtf8());
    }
};

} // namespace rankmoth::testing
