#pragma once

#include "base/text.h"
#include "web/answer.h"
#include "web/web_env.h"

#include <chrono>
#include <functional>

namespace rankmoth::sources {

// Requests one pack: POST of `body` to `url` with the Referer line in `extraHeaders`; the answer converted
// from UTF-8 to GBK, with its verdict. `stop` is polled while the request waits and abandons it.
using FeedFetch = std::function<web::Answer(Text& url, const Text& extraHeaders, const Bytes& body,
                                            const std::function<bool()>& stop)>;
// The production fetch: web::TimedFetchAnswer with its default time-out of 60 s, which is also the pack's
// whole deadline. `stopPollEvery` as web::TimedFetchOptions has it, for a front end whose stop no event
// announces.
FeedFetch TimedFeedFetch(web::WebEnv env, std::chrono::milliseconds stopPollEvery = {});
// A fetch whose every body counts as a whole answer, for feeds that cannot fail in transit.
FeedFetch FeedFetchOfBodies(std::function<Bytes(Text& url, const Text& extraHeaders, const Bytes& body)> fetch);

} // namespace rankmoth::sources
