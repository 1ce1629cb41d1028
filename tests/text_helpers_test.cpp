#include <gtest/gtest.h>

#include "base/strings.h"
#include "base/text_helpers.h"
#include "base/version.h"

namespace {

struct Pair {
    const char* name;
    std::string in;
    std::string out;
};

}  // namespace

TEST(EscapeUrlTextTest, EscapesByTheProgramsOwnRule) {
    const Pair cases[] = {
        {"blank and non-ASCII", "/a b/\xC3\xBC.txt", "/a%20b/%C3%BC.txt"},
        {"equals, hyphen, tilde", "x=y-z~", "x%3Dy%2Dz%7E"},
        {"dot and slash kept", "./../a/.b", "./../a/.b"},
        {"empty", "", ""},
        {"0x30 to 0x7A kept", "09:;<>?@AZ[\\]^_`az", "09:;<>?@AZ[\\]^_`az"},
        {"outside the range", "{|}!\"#$%&'()*+,", "%7B%7C%7D%21%22%23%24%25%26%27%28%29%2A%2B%2C"},
        {"Japanese", "\xE6\x97\xA5\xE6\x9C\xAC", "%E6%97%A5%E6%9C%AC"},
        {"control and zero bytes", std::string("\t\0\x7F", 3), "%09%00%7F"},
    };
    for (const Pair& c : cases) {
        EXPECT_EQ(EscapeUrlText(c.in), c.out) << c.name;
    }
}

TEST(UnescapeUrlTextTest, DecodesByTheProgramsOwnRule) {
    const Pair cases[] = {
        {"escaped path", "/a%20b/%C3%BC.txt", "/a b/\xC3\xBC.txt"},
        {"plus is a blank", "a+b", "a b"},
        {"values below ten dropped", "x%09y%00z", "xyz"},
        {"lower-case hex", "%2f", "/"},
        {"ten and above kept", "a%0Ab", "a\nb"},
        {"non-hex digit counts as zero", "%G1%1G", "\x10"},  // 0x01 is dropped, 0x10 kept
        {"percent at the end kept", "100%", "100%"},
        {"percent with one character kept", "a%4", "a%4"},
        {"non-ASCII copied whole", "\xE6\x97\xA5%20\xE6\x9C\xAC", "\xE6\x97\xA5 \xE6\x9C\xAC"},
        {"non-ASCII after percent is one character",
         "%\xC3\xBC"
         "41",
         "1"},
        {"malformed bytes replaced", "%FFa",
         "\xEF\xBF\xBD"
         "a"},
        {"empty", "", ""},
    };
    for (const Pair& c : cases) {
        EXPECT_EQ(UnescapeUrlText(c.in), c.out) << c.name;
    }
}

TEST(UnescapeUrlTextTest, ReversesEscapingOfTitlesAndPaths) {
    const std::string texts[] = {
        "My Files",
        "o'neil's \"disk\"",
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xE3\x83\x95\xE3\x82\xA9",
        "/a/b c/d=e&f.txt",
        "100% ~done~",
        "\xF0\x9F\x98\x80 emoji",
    };
    for (const std::string& t : texts) {
        EXPECT_EQ(UnescapeUrlText(EscapeUrlText(t)), t) << t;
        EXPECT_EQ(EscapeUrlText(t).find('\''), std::string::npos) << "no quote survives escaping";
    }
}

TEST(EscapeUrlPathTest, NothingThatEndsOrChangesAPathSurvives) {
    const Pair cases[] = {
        {"query and fragment", "/report?.txt#1", "/report%3F.txt%231"},
        {"percent and plus", "/100%+a", "/100%25%2Ba"},
        {"parameters and brackets", "/a;b=[c]@d:e", "/a%3Bb%3D%5Bc%5D%40d%3Ae"},
        {"backslash and quotes", "/a\\b\"c'", "/a%5Cb%22c%27"},
        {"unreserved kept", "/AZaz09-._~/", "/AZaz09-._~/"},
        {"blank, control bytes, non-ASCII", std::string("/ \x01\x7F\xC3\xBC", 6),
         "/%20%01%7F%C3%BC"},
    };
    for (const Pair& c : cases) {
        EXPECT_EQ(EscapeUrlPath(c.in), c.out) << c.name;
    }
}

TEST(DecodeUrlPathTest, GivesBackEveryByteExactly) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    EXPECT_EQ(DecodeUrlPath(EscapeUrlPath(all)), all);
    const Pair cases[] = {
        {"plus is a plus", "a+b", "a+b"},
        {"low bytes kept", "x%01y%00z", std::string("x\x01y\0z", 5)},
        {"not an escape", "%zz%4%", "%zz%4%"},
        {"lower-case hex", "%2f%c3%bc", "/\xC3\xBC"},
        {"malformed UTF-8 kept", "%FF", "\xFF"},
    };
    for (const Pair& c : cases) {
        EXPECT_EQ(DecodeUrlPath(c.in), c.out) << c.name;
    }
}

TEST(WideUtf8Test, WholeStringsIncludingEmbeddedZeros) {
    const std::u16string wide{u'a', 0, u'b', 0x65E5};
    const std::string utf8("a\0b\xE6\x97\xA5", 6);
    EXPECT_EQ(WideToUtf8(wide), utf8);
    EXPECT_EQ(Utf8ToWide(utf8), wide);
    EXPECT_EQ(WideToUtf8(u""), "");
}

TEST(VersionTest, ProductVersionDropsTheBuildNumberOfASevenCharacterVersion) {
    const Pair cases[] = {
        {"seven characters", "1.0.0.1", "1.0.0"},
        {"eight characters kept whole", "1.0.10.1", "1.0.10.1"},
        {"three parts kept", "1.2.3", "1.2.3"},
    };
    for (const Pair& c : cases) {
        EXPECT_EQ(Version::ShortenProductVersion(c.in), c.out) << c.name;
    }
    std::string name, version, copyright, comments;
    EXPECT_TRUE(Version::GetProductName(name));
    EXPECT_EQ(name, "NimbexShell");
    EXPECT_TRUE(Version::GetProductVersion(version));
    EXPECT_FALSE(version.empty());
    EXPECT_TRUE(Version::GetLegalCopyright(copyright));
    EXPECT_TRUE(Version::GetComments(comments));
    std::string untouched = "kept";
    EXPECT_FALSE(Version::GetVersionString("FileDescription", untouched));
    EXPECT_EQ(untouched, "kept");
}

TEST(StringTableTest, TextsByIdWithATranslatorInFront) {
    EXPECT_EQ(nbx::strings::LoadString(509), "Online");
    EXPECT_EQ(nbx::strings::LoadString(802), "NimbexShell - @Disk:%s");
    EXPECT_EQ(nbx::strings::LoadString(819), "Disk");
    EXPECT_EQ(nbx::strings::LoadString(4), "");
    EXPECT_EQ(nbx::strings::English(4), nullptr);

    nbx::strings::SetTranslator([](int id, const char*) {
        return id == 510
                   ? std::string("\xE3\x82\xAA\xE3\x83\x95\xE3\x83\xA9\xE3\x82\xA4\xE3\x83\xB3")
                   : std::string();
    });
    EXPECT_EQ(nbx::strings::LoadString(510),
              "\xE3\x82\xAA\xE3\x83\x95\xE3\x83\xA9\xE3\x82\xA4\xE3\x83\xB3");
    EXPECT_EQ(nbx::strings::LoadString(509), "Online") << "an empty translation falls back";
    nbx::strings::SetTranslator(nullptr);
}
