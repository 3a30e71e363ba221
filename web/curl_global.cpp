#include "web/curl_global.h"

#include <curl/curl.h>

#include <mutex>

namespace rankmoth::web {

void EnsureCurlInitialised() {
    static std::once_flag once;
    // Never paired with curl_global_cleanup: handles may still be closing on other threads at exit, and
    // the process ends right after anyway.
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

} // namespace rankmoth::web
