#pragma once

#include "base/text.h"
#include "web/answer.h"
#include "web/web_env.h"

#include <chrono>
#include <functional>
#include <optional>

namespace rankmoth::web {

// How one general request is made; the defaults are a plain GET.
struct WebAccessOptions {
    std::optional<int> method; // 0 GET, 1 POST; anything else is refused with a message box
    Text proxy;
    Text* extraHeaders = nullptr; // in: extra header text; out: the complete header text that was sent
    Text postData;
    Text cookies;
    int responseConversion = 0; // 1 from UTF-8, 2 from Big5, to GBK
    Text* responseHeaders = nullptr;
    std::chrono::milliseconds deadline{30000};
    // Polled at every wake-up of the transfer (at least every 20 ms), after the window's events; true aborts
    // the transfer. Null never stops.
    std::function<bool()> stopRequested;
};

// The general HTTP request on the calling (window) thread, with the verdict on its answer. `url` comes back
// normalised.
Answer AccessWeb(WebEnv& env, Text& url, const WebAccessOptions& options);

// The general HTTP request on the calling (window) thread. `url` comes back normalised, `extraHeaders`
// comes back as the complete header text that was sent. Returns the body, empty on failure: any answer that
// did not arrive whole with a 2xx status.
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
