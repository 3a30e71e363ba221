#pragma once

#include "tools/sim/market_catalogue.h"

#include <optional>
#include <string>

namespace rankmoth::sim {

// A JSON string body (no quotes around it): quotes, backslashes and slashes escaped, every character
// outside ASCII as \uXXXX (UTF-16, surrogate pairs above the basic plane).
std::string JsonEscape(const std::string& utf8);

// Pack `pack` (1-based) of a shop's feed as the shop host answers it: UTF-8 JSON whose "html" field holds
// the item links, and "data":{"isEnd":true} on the last pack (and on every pack past it).
std::string FeedPack(const CatalogueShop& shop, int pack, const std::string& shopBase);

// The listing identifier of a category and sort, and its inverse.
std::string BookOf(const std::string& category, const std::string& sort);
bool SplitBook(const std::string& book, std::string& category, std::string& sort);
// Items in a listing (the "totalCnt" of its pages).
int ListingTotal(int pages);

// The continuation token that slice `sliceKey` (0..9) of `page` must carry.
std::string TokenFor(const std::string& book, int page, int sliceKey);
struct TokenPosition {
    int page;
    int sliceKey;
};
std::optional<TokenPosition> ReadToken(const std::string& book, const std::string& token);

// Listing page `page`, in UTF-8 (the server sends it in GBK): the script fragment with book, the first
// token, the total and the action, and `"lastTweetId":null` when it is the listing's last page.
std::string ListingPage(const Catalogue& catalogue, const std::string& category, const std::string& sort, int page);

// The answer to one slice request; `error` set when the request does not continue the listing.
struct SliceRequest {
    std::string token;
    std::string book;
    std::string pageKey;
    std::string total;
};
std::string SliceAnswer(const Catalogue& catalogue, const SliceRequest& request, std::string* error = nullptr);

} // namespace rankmoth::sim
