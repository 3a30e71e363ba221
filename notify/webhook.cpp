#include "notify/webhook.h"

#include "base/version.h"
#include "web/curl_handle.h"
#include "web/http_exchange.h"
#include "web/transfer_verdict.h"

#include <thread>

namespace rankmoth::notify {

namespace {

using Steady = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The request for `url`, or the reason it cannot be made.
bool RequestFor(const std::string& url, web::HttpExchangeRequest& request, std::string& reason) {
    web::CurlUrl parsed;
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
        reason = "webhook address \"" + url + "\" is not a URL";
        return false;
    }
    const std::string scheme = parsed.Part(CURLUPART_SCHEME);
    if (scheme != "http" && scheme != "https") {
        reason = "webhook address \"" + url + "\" is neither http nor https";
        return false;
    }
    if (!parsed.Part(CURLUPART_USER).empty()) {
        reason = "webhook address \"" + url + "\" carries a user name; put the receiver's token in its path";
        return false;
    }
    request.method = "POST";
    request.tls = scheme == "https";
    request.host = Text(parsed.Part(CURLUPART_HOST));
    request.port = std::atoi(parsed.Part(CURLUPART_PORT, CURLU_DEFAULT_PORT).c_str());
    std::string target = parsed.Part(CURLUPART_PATH);
    if (const std::string query = parsed.Part(CURLUPART_QUERY); !query.empty())
        target += "?" + query;
    request.target = Text(target);
    request.userAgent = Text("rankmoth/" + std::string(base::kVersion));
    request.headerLines = {"Content-Type: application/json", "Accept: */*"};
    // A receiver answers a webhook with a short acknowledgement; a long answer is nobody's business here.
    request.maxBody = std::size_t{64} << 10;
    return true;
}

} // namespace

WebhookOutcome PostWebhook(const std::string& url, const std::string& jsonBody, const WebhookOptions& options) {
    WebhookOutcome outcome;
    web::HttpExchangeRequest request;
    if (!RequestFor(url, request, outcome.reason))
        return outcome;
    request.body = jsonBody;
    const auto until = Steady::now() + options.deadline;
    std::string why = "deadline of 0 s passed";
    int tries = 0;
    while (tries < 2) {
        const auto left = std::chrono::duration_cast<milliseconds>(until - Steady::now());
        if (left <= milliseconds::zero())
            break;
        request.deadline = left;
        request.connectTimeoutSeconds = static_cast<long>(std::max<long long>(1, (left.count() + 999) / 1000));
        const web::HttpExchangeResult result = web::PerformHttpExchange(request, {});
        ++tries;
        if (result.verdict.ok) {
            outcome.delivered = true;
            return outcome;
        }
        // Each try is bounded by what is left of the deadline; the user set the whole, and is told of it.
        why = result.verdict.failure == base::FailureKind::Deadline ? web::DeadlineReason(options.deadline)
                                                                    : result.verdict.reason;
        const long status = result.verdict.status;
        const bool refusedAsWrong = status >= 400 && status < 500 && status != 408 && status != 429;
        if (refusedAsWrong || tries == 2 || until - Steady::now() <= options.retryPause)
            break;
        std::this_thread::sleep_for(options.retryPause);
    }
    outcome.reason = "webhook " + request.host.bytes() + ": " + why + (tries == 2 ? ", on the retry too" : "");
    return outcome;
}

} // namespace rankmoth::notify
