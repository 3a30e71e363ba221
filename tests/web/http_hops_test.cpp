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

TEST(HttpHops, EachHopCarriesOnlyTheHeadersItMayAndGoesWhereItShould) {
    const std::vector<std::string> caller = {"Cookie: a=mine", "Content-Type: text/plain", "Content-Length: 4",
                                             "Referer: /x"};
    struct Case {
        bool keepsCookies;
        bool keepsBody;
        std::string jar;
        std::vector<std::string> expected;
    } lineCases[] = {
        {true, true, "b=2", {"Cookie: a=mine; b=2", "Content-Type: text/plain", "Content-Length: 4", "Referer: /x"}},
        {false, true, "b=2", {"Content-Type: text/plain", "Content-Length: 4", "Referer: /x", "Cookie: b=2"}},
        {true, false, "", {"Cookie: a=mine", "Referer: /x"}},
    };
    for (const auto& c : lineCases) {
        SCOPED_TRACE(c.jar);
        Hop hop{"GET", false, "shop.test", 80, "/", "", c.keepsCookies, c.keepsBody};
        EXPECT_EQ(HeaderLinesForHop(caller, hop, c.jar), c.expected);
    }

    struct AddressCase {
        Hop hop;
        const char* proxy;
        bool usable;
        const char* url;
        const char* target;
    } addressCases[] = {
        {{"GET", false, "shop.test", 0, "a b", "", true, true}, "", true, "http://shop.test:80/", "/a%20b"},
        {{"GET", true, "shop.test", 0, "/s", "", true, true}, "proxy:1", true, "https://shop.test:443/", "/s"},
        {{"GET", false, "shop.test", 80, "/p", "", true, true}, " proxy:1 ", true, "http://shop.test:80/",
         "http://shop.test/p"},
        {{"GET", false, "shop.test", 81, "/p", "", true, true}, "proxy:1", true, "http://shop.test:81/",
         "http://shop.test:81/p"},
        {{"GET", false, "shop.test", 70000, "/", "", true, true}, "", false, "", ""},
        {{"GET", false, "a/b", 80, "/", "", true, true}, "", false, "", ""},
    };
    for (const auto& c : addressCases) {
        SCOPED_TRACE(c.hop.host + ":" + std::to_string(c.hop.port));
        const HopAddress address = HopAddressOf(c.hop, c.proxy);
        EXPECT_EQ(address.usable, c.usable);
        EXPECT_EQ(address.url, c.url);
        EXPECT_EQ(address.target, c.target);
    }
}

} // namespace
} // namespace rankmoth::web
