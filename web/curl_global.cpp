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

namespace {
// Static initialisation of the program runs before main, and so before the toolkit or any of our workers
// can start a thread; the lazy calls above then only confirm it. Every program that links a user of
// libcurl links this file too, since those users call EnsureCurlInitialised.
[[maybe_unused]] const bool initialisedBeforeMain = (EnsureCurlInitialised(), true);
} // namespace

} // namespace rankmoth::web
