#pragma once

#include "base/text.h"
#include "web/answer.h"
#include "web/web_env.h"

#include <functional>

namespace rankmoth::rank {

// Polled during a transfer; true aborts it.
using StopCheck = std::function<bool()>;

// How the walk reaches the listing: a GET of a listing page and a form POST of a slice. Each returns the
// answer with its verdict. `url` may come back normalised.
struct ListingTransport {
    std::function<web::Answer(Text& url, const StopCheck& stop)> get;
    std::function<web::Answer(Text& url, const Text& formBody, const StopCheck& stop)> post;

    // A transport whose every body counts as a whole answer, for servers that cannot fail in transit.
    static ListingTransport OfBodies(std::function<Bytes(Text& url)> get,
                                     std::function<Bytes(Text& url, const Text& formBody)> post);
};
// The production transport: web::AccessWeb on the calling (window) thread, as 网页_访问 sends it.
ListingTransport WebListingTransport(web::WebEnv env);

} // namespace rankmoth::rank
