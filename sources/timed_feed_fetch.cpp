#include "sources/shop_feed.h"

#include "web/fetch.h"

namespace rankmoth::sources {

FeedFetch TimedFeedFetch(web::WebEnv env) {
    return [env](Text& url, const Text& extraHeaders, const Bytes& body) mutable {
        return web::TimedFetch(env, url, 1, Text{}, extraHeaders, body, Text{}, std::nullopt, nullptr, 1);
    };
}

} // namespace rankmoth::sources
