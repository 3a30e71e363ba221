#pragma once

namespace rankmoth::base {
class Controls;
class EventPump;
} // namespace rankmoth::base

namespace rankmoth::web {

class CookieJar;

// What a request needs from around it: the pump that keeps the window alive while it waits, the controls
// that show its message boxes, and the cookie store it shares with every other request.
struct WebEnv {
    base::EventPump& pump;
    base::Controls& controls;
    CookieJar& cookies;
};

} // namespace rankmoth::web
