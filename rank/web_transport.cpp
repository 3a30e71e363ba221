#include "rank/listing_walk.h"

#include "web/request.h"

namespace rankmoth::rank {

ListingTransport ListingTransport::OfBodies(std::function<Bytes(Text& url)> get,
                                            std::function<Bytes(Text& url, const Text& formBody)> post) {
    const auto whole = [](Bytes body) {
        web::Answer answer;
        answer.ok = true;
        answer.status = 200;
        answer.body = std::move(body);
        return answer;
    };
    ListingTransport t;
    t.get = [get = std::move(get), whole](Text& url, const StopCheck&) { return whole(get(url)); };
    t.post = [post = std::move(post), whole](Text& url, const Text& body, const StopCheck&) {
        return whole(post(url, body));
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
