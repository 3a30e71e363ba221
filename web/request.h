#pragma once

#include "base/text.h"
#include "web/web_env.h"

#include <optional>

namespace rankmoth::web {

// The general HTTP request on the calling (window) thread. `url` comes back normalised, `extraHeaders`
// comes back as the complete header text that was sent. Returns the body, empty on failure.
Bytes 网页_访问(WebEnv& env, Text& url, std::optional<int> 访问方式 = std::nullopt, const Text& proxy = {},
               Text* extraHeaders = nullptr, const Text& postData = {}, const Text& cookies = {},
               int responseConversion = 0, Text* responseHeaders = nullptr);

Text UrlHost(const Text& url);
Text UrlPath(const Text& url);
// 80 when the address names no port, 0 (the default port) when the text after its colon is empty or not a
// number, -1 when the number lies beyond 65535 (such an address cannot be connected to).
int UrlPort(const Text& url);

// Modal message box with the caption "友情提醒" unless given; returns the button code minus 1.
int InfoBox(base::Controls& controls, const Text& message, const Text& caption = {}, int style = 64);

} // namespace rankmoth::web
