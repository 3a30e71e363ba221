#pragma once

#include <chrono>
#include <string>

namespace rankmoth::notify {

struct WebhookOptions {
    // The whole delivery ends within this, the retry included: a run must not wait on a dead receiver.
    std::chrono::milliseconds deadline{10000};
    // Between a failed first try and the retry, when the deadline leaves time for one.
    std::chrono::milliseconds retryPause{1000};
};

struct WebhookOutcome {
    bool delivered = false;
    std::string reason; // one line, when not delivered
};

// POSTs `jsonBody` to `url` (http or https) as application/json; a 2xx answer delivers it. A failure is
// tried once more, unless the receiver answered 4xx, which says the request itself is wrong. Never throws.
WebhookOutcome PostWebhook(const std::string& url, const std::string& jsonBody, const WebhookOptions& options = {});

} // namespace rankmoth::notify
