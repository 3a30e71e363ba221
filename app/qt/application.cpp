#include "app/qt/application.h"

#include "app/qt/assets.h"
#include "app/qt/event_wiring.h"
#include "app/qt/qt_translations.h"
#include "app/qt/skin.h"
#include "app/qt/window_design.h"
#include "app/qt/windows.h"
#include "base/control_names.h"
#include "base/endpoints.h"
#include "base/file_locations.h"
#include "base/settings.h"

#include "web/cookie_jar.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QStringDecoder>
#include <QTimer>
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
} // namespace

Application::Application() : Application(Options{}) {}

Application::Application(Options options)
    : options_(std::move(options)), controls_(new QtControls(*this)),
      tray_(options_.trayAvailable, options_.trayProbe) {
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
    history_ = std::make_unique<HistoryController>(
        options_.historyFile.value_or(history::ChooseHistory({}, {}, options_.configFile).location),
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
        // The worker holds this object: it is told to leave the windows alone and is always joined. Until it
        // is done it may still wait for the window thread (a message box, a control read), so the thread keeps
        // dispatching rather than block it forever; a check in flight ends by its own deadlines.
        startup_->stop = true;
        while (!startup_->done)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        startupWorker_.join();
    }
    tray_.Hide();
    delete main_;
    delete update_;
}

bool Application::startupFinished() const {
    return startup_ && startup_->done;
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

    tray_.Create(main_, main_->windowIcon(), Q(app::TrayTip()), [this](app::TrayMouse mouse) { TrayEvent(mouse); });

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
    tray_.icon()->showMessage(Q(app::BalloonTitle()), Q(app::BalloonText()), QSystemTrayIcon::Information);
}

void Application::ShowAlert(const QString& title, const QString& text) {
    if (tray_.ShowMessage(title, text))
        return;
    controls_->SetStatusText(
        base::kMainWindow, mw::kStatusBar, 1,
        Text::FromUtf8((title + ": " + QString(text).replace('\n', QString::fromUtf8("；"))).toStdString()));
}

void Application::StartStartupWorker() {
    if (startupWorker_.joinable())
        return;
    startup_ = std::make_shared<StartupRun>();
    const std::string currentDirectory = QDir::currentPath().toStdString();
    startupWorker_ = std::thread([this, run = startup_, currentDirectory] {
        const auto finish = [this, &run, &currentDirectory](int startTab) {
            // A program being torn down has no window left to finish loading.
            if (run->stop)
                return;
            app::FinishStartupLoading(*controls_, hooks_.loadSubCategories, startTab, currentDirectory,
                                      options_.configFile);
        };
        if (hooks_.backgroundCheck)
            hooks_.backgroundCheck(finish);
        else
            finish(0);
        run->done = true;
    });
}

// ---- events

void Application::WireMainWindow() {
    ShellWindow* w = main_;
    w->onClose = [this] { EndProgram(0); };
    w->onPlacementChanged = [this] { OnMainPlacementChanged(); };

    const auto core = [this](std::function<void()> base::ShellHooks::*hook) {
        return [this, hook] { Call(hooks_.*hook); };
    };
    const auto link = [this](std::string_view name) { return [this, name] { app::OpenLinkOf(*controls_, name); }; };
    const auto notYet = [this] { app::ShowNotYetAvailable(*controls_); };
    const std::vector<EventWire> wiring = {
        {mw::kQueryButton, Signal::Clicked, core(&base::ShellHooks::queryStart)},
        {mw::kParkedStopButton, Signal::Clicked, core(&base::ShellHooks::stopQuery)},
        {mw::kStopButton, Signal::Clicked, core(&base::ShellHooks::stopQuery)},
        {mw::kShopLoadButton, Signal::Clicked, core(&base::ShellHooks::shopLoad)},
        // The monitoring follows the selection whatever makes it (a click, the keyboard, the start-up's own
        // choice of 手动查询): the two buttons share a group, so 自动监测 toggles on every change between them.
        {mw::kAutomaticRadio, Signal::Toggled, core(&base::ShellHooks::monitorModeChanged)},
        {mw::kSoundBox, Signal::Clicked, [this] { app::OnAlertBoxClicked(*controls_); }},
        {mw::kOpenButton, Signal::Clicked, notYet},
        {mw::kSaveButton, Signal::Clicked, notYet},
        {mw::kSupportButton1, Signal::Clicked, link(mw::kSupportButton1)},
        {mw::kSupportButton2, Signal::Clicked, link(mw::kSupportButton2)},
        {mw::kSupportButton3, Signal::Clicked, link(mw::kSupportButton3)},
        {mw::kPageLimitBox, Signal::FocusIn, core(&base::ShellHooks::pageLimitFocus)},
        {mw::kPageLimitBox, Signal::TextChanged, core(&base::ShellHooks::pageLimitChanged)},
        // Checked once the value is typed (Enter, or the focus leaves), not per keystroke: 10..600 has no
        // one-digit member, so a keystroke check would refuse the first digit of every value.
        {mw::kIntervalBox, Signal::EditingFinished, core(&base::ShellHooks::intervalChanged)},
        {mw::kShopIdBox, Signal::FocusOut, [this] { app::StoreShopId(*controls_, options_.configFile); }},
        {mw::kResultList, Signal::ContextMenu,
         [this] { controls_->PopupMenuAtCursor(base::kMainWindow, mw::kContextMenu); }},
        {mw::kTarnbayArea, Signal::LeftPress, link(mw::kTarnbayArea)},
        {mw::kFernlaneArea, Signal::LeftPress, link(mw::kFernlaneArea)},
        {mw::kForumPicture, Signal::LeftPress, link(mw::kForumPicture)},
        {mw::kTitleLink, Signal::LinkActivated, link(mw::kTitleLink)},
        {mw::kTutorialLink, Signal::LinkActivated, link(mw::kTutorialLink)},
        // The tick runs after its timer event has been handled: Qt delivers no further event of a timer while
        // one is still being handled, and the automatic query the tick may start waits in nested event loops
        // for minutes. Started from here, later ticks keep counting during the run.
        {mw::kMonitorTimer, Signal::Timeout,
         [this, w] { QTimer::singleShot(0, w, [this] { Call(hooks_.monitorTick); }); }},
        {mw::kSiteConfigTimer, Signal::Timeout,
         [this] {
             app::StopStartupTimer(*controls_);
             StartStartupWorker();
         }},
        {mw::kNewsTimer, Signal::Timeout,
         [this] {
             if (newsCounter_.Tick())
                 controls_->ReloadPage(base::kMainWindow, mw::kHelpBrowser);
         }},
    };
    WireEvents(w, wiring);

    // Each entry of the tray menu carries what it is, whatever its place in the menu.
    if (auto* menu = Child<QMenu>(w, mw::kTrayMenu))
        for (QAction* action : menu->actions())
            if (const QVariant entry = action->data(); entry.isValid())
                QObject::connect(action, &QAction::triggered, w, [this, entry = entry.toInt()] {
                    app::OnTrayMenuEntry(*controls_, static_cast<app::TrayMenuEntry>(entry));
                });
}

void Application::WireUpdateWindow() {
    ShellWindow* w = update_;
    // With the main window never opened, the start window is the last one: closing it ends the program.
    w->onClose = [this] {
        if (!main_)
            EndProgram(0);
    };
    const std::vector<EventWire> wiring = {
        {uw::kTimer1, Signal::Timeout, [this] { Call(hooks_.updateTimer1Tick); }},
        {uw::kTimer2, Signal::Timeout, [this] { Call(hooks_.updateTimer2Tick); }},
    };
    WireEvents(w, wiring);
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
            tray_.StopFollowing();
            endProgram(exitCode);
        }
        return;
    }
    tray_.Hide();
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
