#pragma once

#include "base/controls.h"
#include "base/eventpump.h"
#include "base/text.h"
#include "base/version.h"

#include <functional>
#include <string>

namespace rankmoth::app {

inline constexpr std::string_view kAppVersion = base::kWindowVersion;

// Window captions.
Text MainWindowTitle();
Text UpdateWindowTitle();

// Texts of the tray icon and of the balloon shown when the window goes to the tray.
Text TrayTip();
Text BalloonTitle();
Text BalloonText();

// The part of the main window's creation that only writes controls: the one-shot start-up timer is armed,
// the status bar announces the loading and the tab control is locked until the loading is done. Skin and
// tray icon are the shell's own business.
void OnMainWindowCreated(base::Controls& controls);

// The first tick of the start-up timer: the timer is stopped so that the start-up worker starts only once.
void StopStartupTimer(base::Controls& controls);

// The last stage of the start-up loading, run on the start-up worker; it unlocks the tab control and says
// so in the status bar. `loadSubCategories` fills the
// sub-category box; `currentDirectory` becomes the file dialog's initial directory; the shop ID comes from
// `configFile`.
void FinishStartupLoading(base::Controls& controls, const std::function<void()>& loadSubCategories, int startTab,
                          const std::string& currentDirectory, const std::string& configFile);

// Mouse events of the tray icon.
enum class TrayMouse { LeftDown, LeftDoubleClick, RightDown, Other };
void OnTrayEvent(base::Controls& controls, base::EventPump& pump, TrayMouse event);

// Whether a placement change sends the main window to the tray. Hiding a minimised window is only safe while
// our own tray icon is shown to bring it back; otherwise the window stays minimised on the task bar.
bool HidesToTray(base::Placement placement, bool trayIconShown);

} // namespace rankmoth::app
