#pragma once

#include "base/sort.h"
#include "base/text.h"

#include <string>

namespace rankmoth::rank {

// Category combo-box text to the listing's path word; anything unknown is "clothing".
Text CategorySlug(const Text& label);

// A sort as the query holds it: the listing's path word and the label the result rows and status show, in GBK.
struct SortChoice {
    Text key;
    Text label;
};
SortChoice ChoiceOf(base::Sort sort);
// The sort of a run from the two radio buttons that are tested (the third one is the fallback).
base::Sort SortFor(bool hottestFirst, bool newestFirst);

// The integer an edit box holds: spaces trimmed, full-width folded, leading digits; 0 without them.
long long BoxInteger(const Text& boxText);

// "/book/<slug>//<page>/<sort>/all/?color=&minPrice=&maxPrice=&fc=&fc_v=&f=" on the market host.
Text ListingPagePath(const Text& slug, int page, const Text& sortKey);
Text ListingPageUrl(const std::string& marketHost, const Text& slug, int page, const Text& sortKey);
Text SliceUrl(const std::string& marketHost);

// The form body of slice `sliceIndex` (1..10); its page key is the slice number 0..9. Only the book comes
// encoded; token and total go in exactly as they were cut.
Text SliceBody(const Text& token, const std::string& encodedBook, int sliceIndex, const Text& total);

// The values cut from a listing page (book still unencoded).
struct ListingPageValues {
    Text book;
    Text total;
    Text token;
};
ListingPageValues CutListingPage(const Text& page);
// The continuation token carried by a decoded slice; empty when the slice has none.
Text CutSliceToken(const Text& slice);
// The listing page says that no page follows it (an exact, case-sensitive marker).
bool IsListingEnd(const Text& page);

} // namespace rankmoth::rank
