#include "rank/listing.h"

#include <gtest/gtest.h>

namespace rankmoth::rank {
namespace {

TEST(ListingTest, CategorySlugIsExactAndFallsBackToClothing) {
    const struct {
        Text label;
        const char* slug;
    } cases[] = {
        {"衣服"_gbk, "clothing"},    {"鞋子"_gbk, "shoes"},     {"包包"_gbk, "bags"},
        {"配饰"_gbk, "accessories"}, {"家居"_gbk, "home"},      {"男友"_gbk, "boyfriend"},
        {Text{}, "clothing"},        {"鞋子 "_gbk, "clothing"}, {Text("Shoes"), "clothing"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CategorySlug(c.label), Text(c.slug)) << c.label.ToUtf8();
}

TEST(ListingTest, SortTestsHottestBeforeNewestAndFallsBackToTrend) {
    EXPECT_EQ(ChoiceOf(SortFor(true, true)).key, Text("hot30day"));
    EXPECT_EQ(ChoiceOf(SortFor(true, false)).label, "最热"_gbk);
    EXPECT_EQ(ChoiceOf(SortFor(false, true)).key, Text("new"));
    EXPECT_EQ(ChoiceOf(SortFor(false, true)).label, "最新"_gbk);
    EXPECT_EQ(ChoiceOf(SortFor(false, false)).key, Text("pop"));
    EXPECT_EQ(ChoiceOf(SortFor(false, false)).label, "潮流"_gbk);
}

TEST(ListingTest, BoxIntegerReadsLeadingDigitsAfterTrimming) {
    const struct {
        Text box;
        long long value;
    } cases[] = {
        {Text("100"), 100},
        {Text(" 5 "), 5},
        {Text("5x"), 5},
        {Text("12abc"), 12},
        {Text("abc"), 0},
        {Text{}, 0},
        {Text("0"), 0},
        {Text("101"), 101},
        {Text("\xA1\xA1"
              "7"),
         7},
        {"５０"_gbk, 50},
        {Text("-3"), -3},
        {Text("x5"), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BoxInteger(c.box), c.value) << c.box.ToUtf8();
}

TEST(ListingTest, AddressesKeepTheEmptySegmentAndFixedQuery) {
    EXPECT_EQ(ListingPagePath(Text("shoes"), 3, Text("new")),
              Text("/book/shoes//3/new/all/?color=&minPrice=&maxPrice=&fc=&fc_v=&f="));
    EXPECT_EQ(ListingPageUrl("127.0.0.1:8080", Text("clothing"), 100, Text("hot30day")),
              Text("http://127.0.0.1:8080/book/clothing//100/hot30day/all/?color=&minPrice=&maxPrice=&fc=&fc_v=&f="));
    EXPECT_EQ(SliceUrl("m.example"), Text("http://m.example/book/ajax"));
}

TEST(ListingTest, SliceBodyCarriesSliceKeyAndRawTokenAndTotal) {
    EXPECT_EQ(SliceBody(Text("t9"), "clothing%3Apop", 1, Text("800")),
              Text("lastTweetId=t9&book=clothing%3Apop&totalCol=4&page=0&total=800"));
    EXPECT_EQ(SliceBody(Text("a b&c"), "x", 10, Text("1 2")),
              Text("lastTweetId=a b&c&book=x&totalCol=4&page=9&total=1 2"));
    EXPECT_EQ(SliceBody(Text{}, "bk", 4, Text{}), Text("lastTweetId=&book=bk&totalCol=4&page=3&total="));
}

TEST(ListingTest, CutsIgnoreAsciiCaseButListingEndIsExact) {
    const Text page("<script>var c = {BOOK:\"clothing:pop\",LastTweetId:\"1x0x5\",TOTALCNT:\"800\",Action:\"pop\"};"
                    "var s = {\"LASTTWEETID\":NULL};</script>");
    const ListingPageValues v = CutListingPage(page);
    EXPECT_EQ(v.book, Text("clothing:pop"));
    EXPECT_EQ(v.token, Text("1x0x5"));
    EXPECT_EQ(v.total, Text("800"));
    EXPECT_FALSE(IsListingEnd(page));
    EXPECT_TRUE(IsListingEnd(Text("x{\"lastTweetId\":null}")));
    EXPECT_FALSE(IsListingEnd(Text("x{\"lastTweetId\": null}")));
}

TEST(ListingTest, MissingMarkersGiveEmptyValues) {
    const ListingPageValues none = CutListingPage(Text("<html>nothing here</html>"));
    EXPECT_TRUE(none.book.empty());
    EXPECT_TRUE(none.total.empty());
    EXPECT_TRUE(none.token.empty());
    // The left marker alone is not enough.
    EXPECT_TRUE(CutListingPage(Text("book:\"abc")).book.empty());
    EXPECT_EQ(CutSliceToken(Text("{\"data\":{\"lastTweetId\":\"77\"},\"html\":\"\"}")), Text("77"));
    EXPECT_EQ(CutSliceToken(Text("{\"DATA\":{\"LastTweetID\":\"77\"},\"HTML\":\"\"}")), Text("77"));
    EXPECT_TRUE(CutSliceToken(Text("{\"status\":0}")).empty());
    EXPECT_TRUE(CutSliceToken(Text{}).empty());
}

} // namespace
} // namespace rankmoth::rank
