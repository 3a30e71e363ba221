#include "app/qt/application.h"

#include "app/qt/assets.h"
#include "app/qt/qt_translations.h"
#include "app/qt/skin.h"
#include "app/qt/window_design.h"
#include "app/qt/windows.h"
#include "base/control_names.h"
#include "base/endpoints.h"
#include "base/file_locations.h"
#include "base/settings.h"

#include "web/cookie_jar.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QStringDecoder>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace rankmoth::shell {

namespace {
namespace mw = base::names::main_window;
namespace uw = base::names::update_window;

void Call(const std::function<void()>& hook) {
    if (hook)
        hook();
}

template <class W> W* Child(QWidget* window, std::string_view name) {
    return window ? window->findChild<W*>(QtName(name)) : nullptr;
}

QString Q(const Text& text) {
    return QString::fromStdString(text.ToUtf8());
}

constexpr int kTrayWatchMs = 1000;
} // namespace

Application::Application() : Application(Options{}) {}

Application::Application(Options options) : options_(std::move(options)), controls_(new QtControls(*this)) {
    const base::FileLocations files = base::ProcessFileLocations(kDataFromBin);
    // Nothing here stops the program: what cannot be prepared is said on the error output, and the program
    // runs with what it has (no saved settings, an empty sub-category box).
    for (const std::string& problem : base::PrepareUserFiles(files))
        std::fprintf(stderr, "rankmoth: %s\n", problem.c_str());
    if (options_.configFile.empty())
        options_.configFile = files.configDir + "/config.ini";
    if (options_.skinDirectory.isEmpty())
        options_.skinDirectory = QString::fromStdString(files.dataDir);
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        app->setFont(WindowFont());
        app->setWindowIcon(WindowIcon());
        // Windows come and go (the update window closes when the main window opens, the main window hides
        // in the tray): the program ends by its own rules, not when no window is visible.
        app->setQuitOnLastWindowClosed(false);
        // The program's own texts are Chinese; Qt's (the file dialog, the buttons of its boxes) follow the
        // user's language where Qt has words for it.
        InstallQtTranslations(QLocale());
    }

    HistoryController::Services historyServices;
    historyServices.showAlert = [this](const QString& title, const QString& text) { ShowAlert(title, text); };
    historyServices.showStatus = [this](const QString& text) {
        controls_->SetStatusText(base::kMainWindow, mw::kStatusBar, 1, Text::FromUtf8(text.toStdString()));
    };
    history_ = std::make_unique<HistoryController>(options_.historyFile.value_or(history::DefaultHistoryPath()),
                                                   std::move(historyServices));

    if (options_.bindCore) {
        std::vector<std::string> warnings;
        const base::Endpoints endpoints =
            base::Endpoints::Resolve(options_.configFile, base::ProcessEnvironment(), warnings);
        for (const std::string& warning : warnings) {
            std::fprintf(stderr, "rankmoth: %s\n", warning.c_str());
            settingsProblems_.push_back(warning);
        }
        core_.reset(new CoreContext{*controls_, pump_, endpoints,
                                    web::WebEnv{pump_, *controls_, web::ProcessCookieJar()}, files});
        core_->passFinished = [this](const base::PassOutcome& pass) { history_->PassFinished(pass); };
        BindRankHooks(*core_, hooks_);
        BindUpdateHooks(*core_, hooks_);
    }
}

Application::~Application() {
    if (startupWorker_.joinable()) {
        // The worker may be waiting for the window thread (a message box, a control read): keep
        // dispatching until it is done rather than block it forever.
        QElapsedTimer waited;
        waited.start();
        while (!startupDone_ && waited.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (startupDone_)
            startupWorker_.join();
        else
            startupWorker_.detach();
    }
    delete tray_;
    delete main_;
    delete update_;
}

bool Application::trayAvailable() const {
    if (options_.trayAvailable)
        return *options_.trayAvailable;
    return options_.trayProbe ? options_.trayProbe() : QSystemTrayIcon::isSystemTrayAvailable();
}

bool Application::trayIconShown() const {
    return tray_ && tray_->isVisible();
}

void Application::FollowTray() {
    if (!tray_ || !main_ || ended_)
        return;
    const bool available = trayAvailable();
    if (available && !tray_->isVisible()) {
        tray_->show();
    } else if (!available && tray_->isVisible()) {
        tray_->hide();
        if (!main_->isVisible() && main_->isMinimized())
            main_->showMinimized();
    }
}

void Application::Start() {
    controls_->LoadWindow(base::kUpdateWindow, false);
    // The creation action may open the main window or start a download: it runs once the start window is
    // up and the event loop turns, never inside the caller.
    QTimer::singleShot(0, update_, [this] {
        // A refused setting is said before anything uses the built-in value that stands in for it.
        ShowSettingsProblems();
        if (hooks_.updateWindowCreated)
            hooks_.updateWindowCreated();
        else
            controls_->LoadWindow(base::kMainWindow, true);
    });
}

void Application::ShowSettingsProblems() {
    static const Text kCaption = "设置有误"_gbk;
    for (const std::string& problem : std::exchange(settingsProblems_, {})) {
        // The line holds the settings file's path (UTF-8) and the refused value as the file has it, which in
        // a file of this program's is GBK.
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString decoded = utf8(QByteArray::fromStdString(problem));
        const Text text = utf8.hasError() ? Text(problem) : Text::FromUtf8(decoded.toStdString());
        controls_->MessageBox(text, base::kIconExclamation, kCaption);
    }
}

// ---- windows

QWidget* Application::FindWindow(std::string_view name) {
    if (name == base::kMainWindow)
        return main_;
    if (name == base::kUpdateWindow)
        return update_;
    return nullptr;
}

void Application::LoadWindow(std::string_view name, bool modal) {
    ShellWindow* window = nullptr;
    if (name == base::kMainWindow) {
        if (!main_) {
            CreateMainWindow();
            OnMainWindowCreated();
        }
        window = main_;
    } else if (name == base::kUpdateWindow) {
        if (!update_)
            CreateUpdateWindow();
        window = update_;
    }
    if (!window)
        return;
    // A modal window blocks the others but does not hold up its caller: the program ends when the main
    // window closes, so nothing the caller would do afterwards could run in any case.
    if (modal && !window->isVisible())
        window->setWindowModality(Qt::ApplicationModal);
    window->show();
    if (QGuiApplication::platformName() != "offscreen") {
        window->raise();
        window->activateWindow();
    }
}

void Application::CloseWindow(std::string_view name) {
    if (QWidget* window = FindWindow(name))
        window->close();
}

void Application::CreateUpdateWindow() {
    update_ = BuildUpdateWindow();
    WireUpdateWindow();
}

void Application::CreateMainWindow() {
    main_ = BuildMainWindow();
    if (auto* tabs = dynamic_cast<TabControl*>(Child<QWidget>(main_, mw::kTabs)); tabs && tabs->count() > 2) {
        QPointer<ShellWindow> window = main_;
        historyPage_ = new HistoryPage(
            *history_,
            [window] {
                const auto* shop = window ? Child<QLineEdit>(window, mw::kShopIdBox) : nullptr;
                return shop ? shop->text().trimmed().toStdString() : std::string();
            },
            tabs->page(2));
        historyPage_->setGeometry(4, 24, tabs->width() - 9, tabs->height() - 28);
    }
    WireMainWindow();
}

void Application::OnMainWindowCreated() {
    AttachSkin(28, options_.skinDirectory);

    tray_ = new QSystemTrayIcon(main_->windowIcon());
    tray_->setToolTip(Q(app::TrayTip()));
    QObject::connect(tray_, &QSystemTrayIcon::activated, main_, [this](QSystemTrayIcon::ActivationReason reason) {
        switch (reason) {
        case QSystemTrayIcon::Trigger:
            TrayEvent(app::TrayMouse::LeftDown);
            break;
        case QSystemTrayIcon::DoubleClick:
            TrayEvent(app::TrayMouse::LeftDoubleClick);
            break;
        case QSystemTrayIcon::Context:
            TrayEvent(app::TrayMouse::RightDown);
            break;
        default:
            TrayEvent(app::TrayMouse::Other);
            break;
        }
    });
    // A panel may start after the program, or restart: the icon follows the tray, not only the tray
    // there was at creation.
    FollowTray();
    auto* trayWatch = new QTimer(main_);
    trayWatch->setObjectName("trayWatch");
    QObject::connect(trayWatch, &QTimer::timeout, main_, [this] { FollowTray(); });
    trayWatch->start(kTrayWatchMs);

    app::OnMainWindowCreated(*controls_);
}

void Application::TrayEvent(app::TrayMouse event) {
    app::OnTrayEvent(*controls_, pump_, event);
}

void Application::OnMainPlacementChanged() {
    if (!main_)
        return;
    const auto placement = main_->isMinimized() ? base::Placement::Minimised : base::Placement::Normal;
    if (!app::HidesToTray(placement, trayIconShown()))
        return;
    // Hidden after the state change has been dealt with, not from inside it.
    QTimer::singleShot(0, main_, [window = main_] {
        if (window && window->isMinimized())
            window->hide();
    });
    ++balloons_;
    if (tray_)
        tray_->showMessage(Q(app::BalloonTitle()), Q(app::BalloonText()), QSystemTrayIcon::Information);
}

void Application::ShowAlert(const QString& title, const QString& text) {
    if (tray_ && trayAvailable() && tray_->isVisible()) {
        tray_->showMessage(title, text, QSystemTrayIcon::Information);
        return;
    }
    controls_->SetStatusText(
        base::kMainWindow, mw::kStatusBar, 1,
        Text::FromUtf8((title + ": " + QString(text).replace('\n', QString::fromUtf8("；"))).toStdString()));
}

void Application::StartStartupWorker() {
    if (startupWorker_.joinable())
        return;
    startupDone_ = false;
    const std::string currentDirectory = QDir::currentPath().toStdString();
    startupWorker_ = std::thread([this, currentDirectory] {
        const auto finish = [this, &currentDirectory](int startTab) {
            app::FinishStartupLoading(*controls_, hooks_.loadSubCategories, startTab, currentDirectory,
                                      options_.configFile);
        };
        if (hooks_.backgroundCheck)
            hooks_.backgroundCheck(finish);
        else
            finish(0);
        startupDone_ = true;
    });
}

// ---- events

void Application::WireMainWindow() {
    ShellWindow* w = main_;
    w->onClose = [this] { EndProgram(0); };
    w->onPlacementChanged = [this] { OnMainPlacementChanged(); };

    const auto onClick = [w](std::string_view name, std::function<void()> action) {
        if (auto* button = Child<QAbstractButton>(w, name))
            QObject::connect(button, &QAbstractButton::clicked, w, std::move(action));
    };
    onClick(mw::kQueryButton, [this] { Call(hooks_.queryStart); });
    onClick(mw::kParkedStopButton, [this] { Call(hooks_.stopQuery); });
    onClick(mw::kStopButton, [this] { Call(hooks_.stopQuery); });
    onClick(mw::kShopLoadButton, [this] { Call(hooks_.shopLoad); });
    // The monitoring follows the selection whatever makes it (a click, the keyboard, the start-up's own
    // choice of 手动查询): the two buttons share a group, so 自动监测 toggles on every change between them.
    if (auto* automatic = Child<QAbstractButton>(w, mw::kAutomaticRadio))
        QObject::connect(automatic, &QAbstractButton::toggled, w, [this] { Call(hooks_.monitorModeChanged); });
    onClick(mw::kSoundBox, [this] { app::OnAlertBoxClicked(*controls_); });
    onClick(mw::kOpenButton, [this] { app::ShowNotYetAvailable(*controls_); });
    onClick(mw::kSaveButton, [this] { app::ShowNotYetAvailable(*controls_); });
    for (std::string_view name : {mw::kSupportButton1, mw::kSupportButton2, mw::kSupportButton3})
        onClick(name, [this, name] { app::OpenLinkOf(*controls_, name); });

    if (auto* pages = Child<QLineEdit>(w, mw::kPageLimitBox)) {
        OnEvent(pages, QEvent::FocusIn, [this](QEvent*) {
            Call(hooks_.pageLimitFocus);
            return false;
        });
        QObject::connect(pages, &QLineEdit::textChanged, w, [this] { Call(hooks_.pageLimitChanged); });
    }
    // Checked once the value is typed (Enter, or the focus leaves), not per keystroke: 10..600 has no
    // one-digit member, so a keystroke check would refuse the first digit of every value.
    if (auto* interval = Child<QLineEdit>(w, mw::kIntervalBox))
        QObject::connect(interval, &QLineEdit::editingFinished, w, [this] { Call(hooks_.intervalChanged); });
    if (auto* shopId = Child<QLineEdit>(w, mw::kShopIdBox))
        OnEvent(shopId, QEvent::FocusOut, [this](QEvent*) {
            app::StoreShopId(*controls_, options_.configFile);
            return false;
        });

    if (auto* list = Child<QTreeWidget>(w, mw::kResultList))
        QObject::connect(list, &QWidget::customContextMenuRequested, w,
                         [this] { controls_->PopupMenuAtCursor(base::kMainWindow, mw::kContextMenu); });

    for (std::string_view name : {mw::kTarnbayArea, mw::kFernlaneArea, mw::kForumPicture})
        if (auto* area = Child<QWidget>(w, name))
            OnEvent(area, QEvent::MouseButtonPress, [this, name](QEvent* event) {
                if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton)
                    return false;
                app::OpenLinkOf(*controls_, name);
                return true;
            });
    for (std::string_view name : {mw::kTitleLink, mw::kTutorialLink})
        if (auto* link = Child<QLabel>(w, name))
            QObject::connect(link, &QLabel::linkActivated, w, [this, name] { app::OpenLinkOf(*controls_, name); });

    const auto onTick = [w](std::string_view name, std::function<void()> action) {
        if (auto* timer = Child<QTimer>(w, name))
            QObject::connect(timer, &QTimer::timeout, w, std::move(action));
    };
    // The tick runs after its timer event has been handled: Qt delivers no further event of a timer while
    // one is still being handled, and the automatic query the tick may start waits in nested event loops
    // for minutes. Started from here, later ticks keep counting during the run.
    onTick(mw::kMonitorTimer, [this, w] { QTimer::singleShot(0, w, [this] { Call(hooks_.monitorTick); }); });
    onTick(mw::kSiteConfigTimer, [this] {
        app::StopStartupTimer(*controls_);
        StartStartupWorker();
    });
    onTick(mw::kNewsTimer, [this] {
        if (newsCounter_.Tick())
            controls_->ReloadPage(base::kMainWindow, mw::kHelpBrowser);
    });

    if (auto* menu = Child<QMenu>(w, mw::kTrayMenu)) {
        const auto actions = menu->actions();
        const app::TrayMenuEntry entries[] = {app::TrayMenuEntry::DownloadFernlane, app::TrayMenuEntry::DownloadTarnbay,
                                              app::TrayMenuEntry::Agent, app::TrayMenuEntry::Help,
                                              app::TrayMenuEntry::Exit};
        for (int i = 0; i < actions.size() && i < 5; ++i)
            QObject::connect(actions[i], &QAction::triggered, w,
                             [this, entry = entries[i]] { app::OnTrayMenuEntry(*controls_, entry); });
    }
}

void Application::WireUpdateWindow() {
    ShellWindow* w = update_;
    // With the main window never opened, the start window is the last one: closing it ends the program.
    w->onClose = [this] {
        if (!main_)
            EndProgram(0);
    };
    if (auto* timer = Child<QTimer>(w, uw::kTimer1))
        QObject::connect(timer, &QTimer::timeout, w, [this] { Call(hooks_.updateTimer1Tick); });
    if (auto* timer = Child<QTimer>(w, uw::kTimer2))
        QObject::connect(timer, &QTimer::timeout, w, [this] { Call(hooks_.updateTimer2Tick); });
}

// ---- services

int Application::ShowMessageBox(const QString& text, int style, const QString& caption) {
    if (messageBox)
        return messageBox(text, style, caption);
    const int icon = style & 0xF0;
    QMessageBox box(icon == base::kIconExclamation   ? QMessageBox::Warning
                    : icon == base::kIconInformation ? QMessageBox::Information
                                                     : QMessageBox::NoIcon,
                    caption, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
    // OK is the only button: closing the box answers it too.
    return base::kButtonOk;
}

void Application::OpenAddress(const std::string& address) {
    if (openAddress) {
        openAddress(address);
        return;
    }
    // The address goes out as written, "&amp;" and all.
    QDesktopServices::openUrl(QUrl::fromEncoded(QByteArray::fromStdString(address), QUrl::TolerantMode));
}

void Application::PlayAlertSound() {
    ++sounds_;
    alert_.Play();
}

void Application::EndProgram(int exitCode) {
    if (endProgram) {
        if (!ended_) {
            ended_ = true;
            endProgram(exitCode);
        }
        return;
    }
    if (tray_)
        tray_->hide();
    alert_.Discard();
    EndProcess(exitCode);
}

void Application::EndProcess(int exitCode) {
    for (QWidget* window : QApplication::topLevelWidgets())
        window->hide();
    // No event is dispatched any more: a queued action could start a nested wait and hold the end up. The
    // tray host drops the icon by itself when the process's connection goes.
    std::fflush(nullptr);
    // Not QCoreApplication::exit: that only leaves the innermost event loop, and the program may be deep in
    // nested waits. The windows' work is done and every file the program writes is closed by now.
    std::_Exit(exitCode);
}

} // namespace rankmoth::shell
