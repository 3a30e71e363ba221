#include "rank/listing.h"

#include "web/codecs.h"

namespace rankmoth::rank {

Text CategorySlug(const Text& label) {
    static const std::pair<Text, const char*> kSlugs[] = {
        {"衣服"_gbk, "clothing"},    {"鞋子"_gbk, "shoes"}, {"包包"_gbk, "bags"},
        {"配饰"_gbk, "accessories"}, {"家居"_gbk, "home"},  {"男友"_gbk, "boyfriend"},
    };
    for (const auto& [text, slug] : kSlugs) {
        if (label == text)
            return Text(slug);
    }
    return Text("clothing");
}

SortChoice ChoiceOf(base::Sort sort) {
    const base::SortEntry& entry = base::EntryOf(sort);
    return {Text(std::string(entry.key)), Text::FromUtf8(entry.label)};
}

base::Sort SortFor(bool hottestFirst, bool newestFirst) {
    if (hottestFirst)
        return base::Sort::Hot30Day;
    if (newestFirst)
        return base::Sort::New;
    return base::Sort::Pop;
}

long long BoxInteger(const Text& boxText) {
    return IntegerOf(TrimSpaces(boxText));
}

Text ListingPagePath(const Text& slug, int page, const Text& sortKey) {
    return Text("/book/") + slug + Text(std::string("//") + std::to_string(page) + "/") + sortKey +
           Text("/all/?color=&minPrice=&maxPrice=&fc=&fc_v=&f=");
}

Text ListingPageUrl(const std::string& marketHost, const Text& slug, int page, const Text& sortKey) {
    return Text("http://" + marketHost) + ListingPagePath(slug, page, sortKey);
}

Text SliceUrl(const std::string& marketHost) {
    return Text("http://" + marketHost + "/book/ajax");
}

Text SliceBody(const Text& token, const std::string& encodedBook, int sliceIndex, const Text& total) {
    return Text("lastTweetId=") + token +
           Text("&book=" + encodedBook + "&totalCol=4&page=" + std::to_string(sliceIndex - 1) + "&total=") + total;
}

ListingPageValues CutListingPage(const Text& page) {
    ListingPageValues v;
    v.book = web::TextBetween(page, Text("book:\""), Text("\",lastTweetId"));
    v.total = web::TextBetween(page, Text("totalCnt:\""), Text("\",action:"));
    v.token = web::TextBetween(page, Text("lastTweetId:\""), Text("\",totalCnt"));
    return v;
}

Text CutSliceToken(const Text& slice) {
    return web::TextBetween(slice, Text("lastTweetId\":\""), Text("\"},\"html"));
}

bool IsListingEnd(const Text& page) {
    return Contains(page, Text("lastTweetId\":null"), true);
}

} // namespace rankmoth::rank
