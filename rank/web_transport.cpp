#include "rank/listing_walk.h"

#include "web/request.h"

namespace rankmoth::rank {

ListingTransport WebListingTransport(web::WebEnv env) {
    ListingTransport t;
    t.get = [env](Text& url) mutable { return web::网页_访问(env, url); };
    t.post = [env](Text& url, const Text& body) mutable { return web::网页_访问(env, url, 1, Text{}, nullptr, body); };
    return t;
}

} // namespace rankmoth::rank
