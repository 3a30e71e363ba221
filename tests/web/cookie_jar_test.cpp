#include "web/cookie_jar.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace rankmoth::web {
namespace {

TEST(SetCookieLines, CutsNameDataAndListedPartOfEveryMarkedLine) {
    const Text head("HTTP/1.1 200 OK\r\n"
                    "Set-Cookie: a=b; path=/\r\n"
                    "set-cookie: plain=1\n"
                    "Content-Type: text/html\r\n"
                    "SET-COOKIE: eq=x=y; Domain=.example\r\n"
                    "Set-Cookie: novalue\r\n"
                    "Set-Cookie:  spaced = v \r\n"
                    "\r\n");
    const auto lines = SetCookieLines(head);
    struct Expected {
        const char* name;
        const char* data;
        const char* listed;
    } expected[] = {
        {"a", "b; path=/", "a=b"}, {"plain", "1", ""}, {"eq", "x=y; Domain=.example", "eq=x=y"}, {"", "", ""},
        {"spaced", " v ", ""},
    };
    ASSERT_EQ(lines.size(), std::size(expected));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(lines[i].name, Text(expected[i].name));
        EXPECT_EQ(lines[i].data, Text(expected[i].data));
        EXPECT_EQ(lines[i].listed, Text(expected[i].listed));
    }
    EXPECT_TRUE(SetCookieLines(Text(std::string(2048, ' '))).empty());
}

TEST(CookieJar, KeepsOrderReplacesByNameAndSendsOnlyValues) {
    CookieJar jar;
    jar.Store(Text("Shop.Example"), Text("a"), Text("1; path=/"));
    jar.Store(Text("shop.example"), Text("b"), Text(" 2 ;HttpOnly"));
    jar.Store(Text("other.example"), Text("c"), Text("3"));
    jar.Store(Text("SHOP.EXAMPLE"), Text("a"), Text("9"));
    jar.Store(Text("shop.example"), Text(), Text("nameless"));

    EXPECT_EQ(jar.HeaderValueFor(Text("shop.example")), Text("a=9; b=2"));
    EXPECT_EQ(jar.HeaderValueFor(Text("other.example")), Text("c=3"));
    EXPECT_EQ(jar.HeaderValueFor(Text("nobody.example")), Text());
    EXPECT_EQ(jar.DataOf(Text("shop.example"), Text("b")), Text(" 2 ;HttpOnly"));
    jar.Clear();
    EXPECT_EQ(jar.HeaderValueFor(Text("shop.example")), Text());
}

TEST(CookieJar, ExpiryAttributesDeleteOrAgeCookies) {
    struct Case {
        const char* data;
        bool kept;
    } cases[] = {
        {"v; Max-Age=0", false},
        {"v; max-age=-5", false},
        {"v; Expires=Thu, 01 Jan 1970 00:00:10 GMT", false},
        {"v; expires=Wed, 09 Jun 2100 10:18:14 GMT", true},
        {"v; Expires=Thu, 01 Jan 1970 00:00:10 GMT; Max-Age=600", true},
        {"v; Max-Age=600", true},
        {"v; Max-Age=soon", true},
        {"v; Max-Age=99999999999999999999", true},
        {"v; Max-Age=-99999999999999999999", false},
        {"v", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        CookieJar jar;
        jar.Store(Text("h"), Text("k"), Text("old"));
        jar.Store(Text("h"), Text("k"), Text(c.data));
        EXPECT_EQ(jar.HeaderValueFor(Text("h")), c.kept ? Text("k=v") : Text());
    }
}

TEST(CookieJar, ConcurrentStoresAndReadsLoseNothing) {
    CookieJar jar;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&jar, t] {
            // Twelve names a thread, stored again and again: 48 in all stays below a host's limit of 50.
            for (int i = 0; i < 200; ++i) {
                jar.StoreFromHeaders(
                    Text("host"), Text("Set-Cookie: t" + std::to_string(t) + "_" + std::to_string(i % 12) + "=v\r\n"));
                jar.HeaderValueFor(Text("host"));
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    const std::string all = jar.HeaderValueFor(Text("host")).bytes();
    for (int t = 0; t < 4; ++t)
        EXPECT_NE(all.find("t" + std::to_string(t) + "_11=v"), std::string::npos);
    EXPECT_EQ(std::count(all.begin(), all.end(), '='), 48);
}

TEST(CookieJar, ValueOfCutsAtTheFirstSemicolon) {
    EXPECT_EQ(CookieValueOf(Text("b; path=/")), Text("b"));
    EXPECT_EQ(CookieValueOf(Text("x=y")), Text("x=y"));
    EXPECT_EQ(CookieValueOf(Text("")), Text());
}

} // namespace
} // namespace rankmoth::web
