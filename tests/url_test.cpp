#include <gtest/gtest.h>
#include <string>

#include "platform/url.h"

using nbx::url::SplitUrl;

TEST(UrlTest, AbsoluteUrlsSplitWithTheObjectAsWritten) {
    struct Case {
        const char* name;
        std::string url;
        std::string scheme;
        std::string host;
        int port;
        std::string object;
    };
    const Case cases[] = {
        {"escaped path", "http://h:8081/box/a%20b.txt", "http", "h", 8081, "/box/a%20b.txt"},
        {"http default port", "http://h/x", "http", "h", 80, "/x"},
        {"https default port", "https://h/x", "https", "h", 443, "/x"},
        {"empty port", "http://h:/x", "http", "h", 80, "/x"},
        {"scheme lowered, host kept", "HTTP://Host.Example/X", "http", "Host.Example", 80, "/X"},
        {"IPv6", "http://[::1]:8081/x", "http", "[::1]", 8081, "/x"},
        {"IPv6 zone", "http://[fe80::1%25eth0]/x", "http", "[fe80::1%25eth0]", 80, "/x"},
        {"credentials", "http://me:pw@h:81/x", "http", "h", 81, "/x"},
        // libcurl decodes these; a split that is put back together must split the same.
        {"escape in the host", "http://a%41b/x", "http", "a%41b", 80, "/x"},
        {"escaped percent in the host", "http://me@a%2541b:81/x", "http", "a%2541b", 81, "/x"},
        {"dot segments", "http://h/./a/../b//c", "http", "h", 80, "/./a/../b//c"},
        {"bad escapes", "http://h/a%zz/%", "http", "h", 80, "/a%zz/%"},
        {"escaped slash", "http://h/a%2F..%2Fb", "http", "h", 80, "/a%2F..%2Fb"},
        {"spaces", "http://h/box/a b.txt?q=a b", "http", "h", 80, "/box/a b.txt?q=a b"},
        {"non-ASCII bytes", "http://h/\xc3\xbc\xff", "http", "h", 80, "/\xc3\xbc\xff"},
        {"query", "http://h/a?x=1&y=%20", "http", "h", 80, "/a?x=1&y=%20"},
        {"empty query", "http://h/a?", "http", "h", 80, "/a?"},
        {"fragment dropped", "http://h/a?x#frag", "http", "h", 80, "/a?x"},
        {"no path", "http://h", "http", "h", 80, "/"},
        {"query without path", "http://h?x", "http", "h", 80, "/?x"},
        {"other known scheme", "ftp://h/x", "ftp", "h", 21, "/x"},
        {"unknown scheme", "foo://h/x", "foo", "h", 0, "/x"},
    };
    for (const Case& c : cases) {
        const auto parts = SplitUrl(c.url);
        ASSERT_TRUE(parts.has_value()) << c.name;
        EXPECT_EQ(parts->scheme, c.scheme) << c.name;
        EXPECT_EQ(parts->host, c.host) << c.name;
        EXPECT_EQ(parts->port, c.port) << c.name;
        EXPECT_EQ(parts->object, c.object) << c.name;
    }
}

TEST(UrlTest, AnythingElseIsNoUrl) {
    struct Case {
        const char* name;
        std::string url;
    };
    const Case cases[] = {
        {"path", "/box/a%20b.txt"},
        {"relative path", "box/a.txt"},
        {"empty", ""},
        {"no scheme", "//h/x"},
        {"one slash", "http:/h/x"},
        {"drive letter", "c:/x"},
        {"no host", "http:///x"},
        {"file URL", "file:///etc/passwd"},
        {"no authority", "mailto:me@h"},
        {"port out of range", "http://h:99999/x"},
        {"port not a number", "http://h:8o/x"},
        {"tab", "http://h/a\tb"},
        {"line end", "http://h/a\nb"},
        {"leading blank", " http://h/x"},
        {"embedded zero", std::string("http://h/a\0b", 12)},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(SplitUrl(c.url).has_value()) << c.name;
    }
}
