#include "sources/feed_fetch.h"

#include "web/fetch.h"

namespace rankmoth::sources {

FeedFetch TimedFeedFetch(web::WebEnv env, std::chrono::milliseconds stopPollEvery) {
    return [env, stopPollEvery](Text& url, const Text& extraHeaders, const Bytes& body,
                                const std::function<bool()>& stop) mutable {
        web::TimedFetchOptions options;
        options.method = 1;
        options.extraHeaders = extraHeaders;
        options.postBytes = body;
        options.responseConversion = 1;
        options.stopRequested = stop;
        options.stopPollEvery = stopPollEvery;
        return web::TimedFetchAnswer(env, url, options);
    };
}

FeedFetch FeedFetchOfBodies(std::function<Bytes(Text& url, const Text& extraHeaders, const Bytes& body)> fetch) {
    return [fetch = std::move(fetch)](Text& url, const Text& extraHeaders, const Bytes& body,
                                      const std::function<bool()>&) {
        return web::Answer::Whole(fetch(url, extraHeaders, body));
    };
}

} // namespace rankmoth::sources
