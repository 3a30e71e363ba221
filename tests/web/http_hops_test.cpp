#include "web/http_hops.h"

#include <gtest/gtest.h>

namespace rankmoth::web {
namespace {

TEST(HttpHops, TheJarFillsInOnlyCookiesTheCallerDidNotName) {
    struct Case {
        std::vector<std::string> lines;
        std::string jar;
        std::vector<std::string> expected;
    } cases[] = {
        {{"Accept: */*"}, "a=1; b=2", {"Accept: */*", "Cookie: a=1; b=2"}},
        {{"Cookie: a=mine"}, "a=1; b=2", {"Cookie: a=mine; b=2"}},
        {{"cookie:  b = x ", "Cookie: c=3"}, "b=2; c=9", {"cookie:  b = x ; c=9", "Cookie: c=3"}},
        {{"Cookie:"}, "a=1", {"Cookie: a=1"}},
        {{"Cookie: a=mine"}, "a=1", {"Cookie: a=mine"}},
        {{"X: y"}, "", {"X: y"}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.jar);
        MergeJarCookies(c.lines, c.jar);
        EXPECT_EQ(c.lines, c.expected);
    }
}

TEST(HttpHops, RedirectsResolveAgainstTheHopAndDropWhatMustNotFollow) {
    const Hop post{"POST", false, "shop.test", 8080, "/a/b?x=1", "form", true, true};
    struct Case {
        const char* location;
        long status;
        bool follows;
        Hop next;
    } cases[] = {
        {"c", 302, true, {"GET", false, "shop.test", 8080, "/a/c", "", true, false}},
        {"/d?y=2", 307, true, {"POST", false, "shop.test", 8080, "/d?y=2", "form", true, true}},
        {"https://Other.Test/e", 308, true, {"POST", true, "other.test", 443, "/e", "form", false, true}},
        {"//cdn.test:81/f", 303, true, {"GET", false, "cdn.test", 81, "/f", "", false, false}},
        {"ftp://shop.test/g", 302, false, post},
        {"", 301, false, post},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        Hop hop = post;
        EXPECT_EQ(NextHop(c.location, c.status, hop), c.follows);
        EXPECT_EQ(hop.method, c.next.method);
        EXPECT_EQ(hop.tls, c.next.tls);
        EXPECT_EQ(hop.host, c.next.host);
        EXPECT_EQ(hop.port, c.next.port);
        EXPECT_EQ(hop.target, c.next.target);
        EXPECT_EQ(hop.body, c.next.body);
        EXPECT_EQ(hop.keepsCallerCookies, c.next.keepsCallerCookies);
        EXPECT_EQ(hop.keepsBodyHeaders, c.next.keepsBodyHeaders);
    }
}

} // namespace
} // namespace rankmoth::web
