#pragma once

// The whole window program against rankmoth-sim, for the end-to-end tests: the simulator on a free loopback
// port with every host pointed at it, and the real Application in a folder of the test's own.
#include "app/qt/application.h"
#include "tests/gui/sim_hosts.h"

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <string>
#include <vector>

namespace rankmoth::testing {

class SimProgram {
protected:
    std::unique_ptr<SimProcess> sim_;
    QTemporaryDir dir_;
    std::unique_ptr<shell::Application> app_;
    // The texts of the message boxes, each answered OK.
    QStringList messages_;

    // Starts the simulator and points every host at it; false when it is not built. The test's folder becomes
    // the current directory, where a portable copy works.
    bool StartSim(std::vector<std::string> args = {}) {
        sim_ = std::make_unique<SimProcess>(std::move(args));
        if (!sim_->running())
            return false;
        [&] { QVERIFY(dir_.isValid()); }();
        QDir::setCurrent(dir_.path());
        PointHostsAt(*sim_);
        return true;
    }

    // The program with its core bound from the environment; the services that would leave the process are
    // recorded or dropped.
    void MakeProgram() {
        shell::Application::Options options;
        options.configFile = (dir_.path() + "/config.ini").toStdString();
        options.skinDirectory = dir_.path();
        options.trayAvailable = false;
        options.historyFile = (dir_.path() + "/history.sqlite").toStdString();
        app_ = std::make_unique<shell::Application>(options);
        app_->messageBox = [this](const QString& text, int, const QString&) {
            messages_ << text;
            return base::kButtonOk;
        };
        app_->openAddress = [](const std::string&) {};
        app_->endProgram = [](int) {};
    }

    // Starts the program and waits until the start-up loading has unlocked the tab.
    void StartAndSettle() {
        app_->Start();
        QTRY_VERIFY_WITH_TIMEOUT(app_->mainWindow() && app_->mainWindow()->isVisible(), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(app_->startupFinished(), 30000);
        QTRY_VERIFY_WITH_TIMEOUT(Main<QWidget>("选择夹1")->isEnabled(), 10000);
    }

    template <class W> W* Main(const char* name) {
        return app_->mainWindow() ? app_->mainWindow()->findChild<W*>(QString::fromUtf8(name)) : nullptr;
    }
    QString Status(int part) {
        return QString::fromStdString(app_->controls().StatusText(base::kMainWindow, "状态条1", part).ToUtf8());
    }
};

} // namespace rankmoth::testing
