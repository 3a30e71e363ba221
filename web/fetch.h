#pragma once

#include "web/text.h"
#include "web/web_env.h"

#include <optional>

namespace rankmoth::web {

// One request on a worker thread while the calling thread waits with its events dispatched. On time-out
// returns the bytes of the time-out text and leaves `responseHeaders` and `returnedCookies` untouched.
Bytes TimedFetch(WebEnv& env, Text& url, int method = 0, const Text& proxy = {}, const Text& extraHeaders = {},
                 const Bytes& postBytes = {}, const Text& cookies = {},
                 std::optional<int> 超时返回 = std::nullopt, Text* responseHeaders = nullptr,
                 int responseConversion = 0, Text* returnedCookies = nullptr, bool followRedirects = true);

// The text returned in place of the page when the time-out passes.
Text TimeoutText();

} // namespace rankmoth::web
