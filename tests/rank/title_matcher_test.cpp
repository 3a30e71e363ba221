// The one-scan matcher against the per-title search it replaces: the same hits, title for title.
#include "rank/title_matcher.h"

#include <gtest/gtest.h>

#include <random>

namespace rankmoth::rank {
namespace {

std::vector<std::uint8_t> SearchedOneByOne(const Text& text, const std::vector<Text>& titles) {
    const GbkHaystack haystack(text);
    std::vector<std::uint8_t> found;
    for (const Text& title : titles)
        found.push_back(haystack.Contains(title) ? 1 : 0);
    return found;
}

std::vector<std::uint8_t> Scanned(const Text& text, const std::vector<Text>& titles) {
    TitleMatcher matcher(titles);
    EXPECT_EQ(matcher.searchedOneByOne(), "");
    std::vector<std::uint8_t> found;
    matcher.Match(GbkHaystack(text), found);
    return found;
}

TEST(TitleMatcher, FindsWhatThePerTitleSearchFinds) {
    // "臷" is D5 4B: its trail byte is an ASCII "K", so "Kx" stands in "臷x" only as bytes, never as text.
    const Text trailK("\xD5Kx");
    const struct {
        Text text;
        std::vector<Text> titles;
        std::vector<std::uint8_t> expected;
    } cases[] = {
        {trailK, {Text("Kx"), Text("x"), Text("\xD5K")}, {0, 1, 1}},
        {Text("\xD5KxKx"), {Text("Kx")}, {1}},
        {Text("Red dress red"), {Text("red"), Text("Red"), Text("RED"), Text("red")}, {1, 1, 0, 1}},
        {Text("abc"), {Text(), Text("abcd"), Text("abc")}, {1, 0, 1}},
        {Text(), {Text(), Text("a")}, {0, 0}},
        {Text("abc"), {}, {}},
        // A scanner with a short title in its set has missed one standing just before the end of a long slice.
        {Text(std::string(64, ' ') + "x "), {Text("Kx"), Text("x")}, {0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.bytes());
        EXPECT_EQ(Scanned(c.text, c.titles), c.expected);
        EXPECT_EQ(SearchedOneByOne(c.text, c.titles), c.expected);
    }
}

// Haystacks of mixed single and double bytes, titles cut from them at any byte (so some start on a trail
// byte) or made up, with repeats: both matchers must agree on every title.
TEST(TitleMatcher, AgreesWithThePerTitleSearchOnRandomGbk) {
    const unsigned seed = 20261209;
    std::mt19937 random(seed);
    const auto byteIn = [&](int low, int high) {
        return static_cast<char>(std::uniform_int_distribution<int>(low, high)(random));
    };
    for (int round = 0; round < 400; ++round) {
        std::string text;
        const int length = std::uniform_int_distribution<int>(0, 400)(random);
        while (static_cast<int>(text.size()) < length) {
            if (random() % 3 == 0) {
                text += byteIn(0x81, 0xFE);
                text += byteIn(0x40, 0x7E); // trail bytes that read as ASCII when cut loose
            } else {
                text += byteIn('@', 'F');
            }
        }
        std::vector<Text> titles;
        const int count = std::uniform_int_distribution<int>(0, 40)(random);
        for (int k = 0; k < count; ++k) {
            std::string title;
            if (!text.empty() && random() % 4 != 0) {
                const std::size_t at = random() % text.size();
                title = text.substr(at, 1 + random() % 6);
            } else {
                for (int n = random() % 4; n >= 0; --n)
                    title += byteIn('@', 'F');
            }
            titles.emplace_back(title);
            if (random() % 8 == 0)
                titles.push_back(titles.back());
        }
        const Text haystack(text);
        ASSERT_EQ(Scanned(haystack, titles), SearchedOneByOne(haystack, titles))
            << "seed " << seed << ", round " << round;
    }
}

} // namespace
} // namespace rankmoth::rank
