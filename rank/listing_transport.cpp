#include "rank/listing_transport.h"

#include "web/request.h"

namespace rankmoth::rank {

ListingTransport ListingTransport::OfBodies(std::function<Bytes(Text& url)> get,
                                            std::function<Bytes(Text& url, const Text& formBody)> post) {
    ListingTransport t;
    t.get = [get = std::move(get)](Text& url, const StopCheck&) { return web::Answer::Whole(get(url)); };
    t.post = [post = std::move(post)](Text& url, const Text& body, const StopCheck&) {
        return web::Answer::Whole(post(url, body));
    };
    return t;
}

ListingTransport WebListingTransport(web::WebEnv env) {
    ListingTransport t;
    t.get = [env](Text& url, const StopCheck& stop) mutable {
        web::WebAccessOptions options;
        options.stopRequested = stop;
        return web::AccessWeb(env, url, options);
    };
    t.post = [env](Text& url, const Text& body, const StopCheck& stop) mutable {
        web::WebAccessOptions options;
        options.method = 1;
        options.postData = body;
        options.stopRequested = stop;
        return web::AccessWeb(env, url, options);
    };
    return t;
}

} // namespace rankmoth::rank
