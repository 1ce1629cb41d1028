#include <gtest/gtest.h>
#include <chrono>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "remotefs/multistatus.h"
#include "support/test_support.h"

using nbx::remotefs::DavResponse;
using nbx::remotefs::ParseMultistatus;

namespace nbx::remotefs {

bool operator==(const DavResponse& a, const DavResponse& b) {
    return std::tie(a.href, a.contentLength, a.contentType, a.lastModified, a.isFolder) ==
           std::tie(b.href, b.contentLength, b.contentType, b.lastModified, b.isFolder);
}

void PrintTo(const DavResponse& r, std::ostream* os) {
    const auto show = [](const std::optional<std::string>& v) {
        return v ? "\"" + *v + "\"" : std::string("-");
    };
    *os << "{href " << show(r.href) << ", length " << show(r.contentLength) << ", type "
        << show(r.contentType) << ", modified " << show(r.lastModified)
        << (r.isFolder ? ", folder}" : ", file}");
}

}  // namespace nbx::remotefs

namespace {

const char kTime[] = "Tue, 05 Mar 2024 09:07:02 GMT";

std::string Multistatus(const std::string& responses) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<D:multistatus xmlns:D=\"DAV:\">" +
           responses + "</D:multistatus>";
}

std::string Propstat(const std::string& props, const char* status = "HTTP/1.1 200 OK") {
    return "<D:propstat><D:prop>" + props + "</D:prop><D:status>" + status +
           "</D:status></D:propstat>";
}

std::string Response(const std::string& href, const std::string& propstats) {
    return "<D:response><D:href>" + href + "</D:href>" + propstats + "</D:response>";
}

const std::string kTwoEntries =
    "<d:multistatus xmlns:d=\"DAV:\">\n"
    "<d:response><d:href>/box/</d:href><d:propstat><d:prop><d:resourcetype><d:collection/>"
    "</d:resourcetype><d:getlastmodified>Tue, 05 Mar 2024 09:07:02 GMT</d:getlastmodified>"
    "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>\n"
    "<d:response><d:href>/box/a.txt</d:href><d:propstat><d:prop><d:resourcetype/>"
    "<d:getcontentlength>12</d:getcontentlength><d:getcontenttype>text/plain</d:getcontenttype>"
    "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>\n"
    "</d:multistatus>\n";

std::string Fixture(const char* name) {
    return nbx::test::ReadFile(std::string(NBX_FIXTURES_DIR "/") + name);
}

}  // namespace

TEST(MultistatusTest, AnswersFromServersAndOddOnes) {
    struct Case {
        const char* name;
        std::string body;
        bool ok;
        std::vector<DavResponse> responses;
    };
    const std::string bomb =
        "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\">"
        "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">"
        "<!ENTITY lol2 \"&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;&lol1;\">"
        "<!ENTITY lol3 \"&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;&lol2;\">"
        "<!ENTITY lol4 \"&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;&lol3;\">"
        "<!ENTITY lol5 \"&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;&lol4;\">"
        "<!ENTITY lol6 \"&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;&lol5;\">"
        "<!ENTITY lol7 \"&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;&lol6;\">"
        "<!ENTITY lol8 \"&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;&lol7;\">"
        "<!ENTITY lol9 \"&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;&lol8;\">]>"
        "<D:multistatus xmlns:D=\"DAV:\"><D:response><D:href>&lol9;</D:href></D:response>"
        "</D:multistatus>";
    const std::vector<DavResponse> twoEntries = {
        {.href = "/box/", .lastModified = kTime, .isFolder = true},
        {.href = "/box/a.txt", .contentLength = "12", .contentType = "text/plain"},
    };
    const std::vector<DavResponse> shareListing = {
        {.href = "/share/",
         .contentType = "httpd/unix-directory",
         .lastModified = kTime,
         .isFolder = true},
        {.href = "/share/%e5%a0%b1%e5%91%8a%e6%9b%b8%202024.txt",
         .contentLength = "6",
         .contentType = "text/plain",
         .lastModified = kTime},
        {.href = "/share/%e5%86%99%e7%9c%9f%20%e3%83%95%e3%82%a9%e3%83%ab%e3%83%80/",
         .contentType = "httpd/unix-directory",
         .lastModified = kTime,
         .isFolder = true},
    };
    const Case cases[] = {
        {"apache answer", Fixture("apache-propfind.xml"), true, shareListing},
        {"lighttpd answer",
         Fixture("lighttpd-propfind.xml"),
         true,
         {{.href = "/share/",
           .contentLength = "4096",
           .contentType = "httpd/unix-directory",
           .lastModified = kTime,
           .isFolder = true},
          {.href = "/share/%E5%A0%B1%E5%91%8A%E6%9B%B8%202024.txt",
           .contentLength = "6",
           .contentType = "text/plain",
           .lastModified = kTime},
          {.href = "/share/%E5%86%99%E7%9C%9F%20%E3%83%95%E3%82%A9%E3%83%AB%E3%83%80/",
           .contentLength = "4096",
           .contentType = "httpd/unix-directory",
           .lastModified = kTime,
           .isFolder = true}}},
        {"nginx answer",
         Fixture("nginx-propfind.xml"),
         true,
         {{.href = "/share/", .lastModified = kTime, .isFolder = true},
          {.href = "/share/%E5%A0%B1%E5%91%8A%E6%9B%B8%202024.txt",
           .contentLength = "6",
           .lastModified = kTime},
          {.href = "/share/%E5%86%99%E7%9C%9F%20%E3%83%95%E3%82%A9%E3%83%AB%E3%83%80/",
           .lastModified = kTime,
           .isFolder = true}}},
        {"rclone answer",
         Fixture("rclone-propfind.xml"),
         true,
         {{.href = "/share/", .lastModified = kTime, .isFolder = true},
          {.href = "/share/%E5%86%99%E7%9C%9F%20%E3%83%95%E3%82%A9%E3%83%AB%E3%83%80/",
           .lastModified = kTime,
           .isFolder = true},
          {.href = "/share/%E5%A0%B1%E5%91%8A%E6%9B%B8%202024.txt",
           .contentLength = "6",
           .contentType = "text/plain; charset=utf-8",
           .lastModified = kTime}}},
        {"d: prefix, in order", kTwoEntries, true, twoEntries},
        {"lp1: properties",
         Multistatus("<D:response xmlns:lp1=\"DAV:\"><D:href>/box/f/</D:href>" +
                     Propstat("<lp1:resourcetype><D:collection/></lp1:resourcetype>"
                              "<lp1:getcontentlength>0</lp1:getcontentlength>") +
                     "</D:response>"),
         true,
         {{.href = "/box/f/", .contentLength = "0", .isFolder = true}}},
        {"default namespace",
         "<multistatus xmlns=\"DAV:\"><response><href>/box/p.png</href><propstat><prop>"
         "<getcontenttype>image/png</getcontenttype><resourcetype/></prop></propstat>"
         "</response></multistatus>",
         true,
         {{.href = "/box/p.png", .contentType = "image/png"}}},
        {"absolute href kept as written",
         Multistatus(Response("http://h:8081/box/a%20b.txt", "")),
         true,
         {{.href = "http://h:8081/box/a%20b.txt"}}},
        {"no properties", Multistatus(Response("/box/y", "")), true, {{.href = "/box/y"}}},
        {"no href",
         Multistatus("<D:response>" + Propstat("<D:getcontentlength>5</D:getcontentlength>") +
                     "</D:response>"),
         true,
         {{.contentLength = "5"}}},
        {"404 propstat before the 200 one wins",
         Multistatus(
             Response("/box/z",
                      Propstat("<D:getcontentlength/><D:resourcetype/>", "HTTP/1.1 404 Not Found") +
                          Propstat("<D:getcontentlength>7</D:getcontentlength>"
                                   "<D:resourcetype><D:collection/></D:resourcetype>"
                                   "<D:getcontenttype>text/plain</D:getcontenttype>"))),
         true,
         {{.href = "/box/z", .contentLength = "", .contentType = "text/plain"}}},
        {"200 propstat before the 404 one",
         Multistatus(Response("/box/z", Propstat("<D:getcontentlength>7</D:getcontentlength>") +
                                            Propstat("<D:getcontenttype/><D:getcontentlength/>",
                                                     "HTTP/1.1 404 Not Found"))),
         true,
         {{.href = "/box/z", .contentLength = "7", .contentType = ""}}},
        {"empty resourcetype",
         Multistatus(Response("/box/e", Propstat("<D:resourcetype></D:resourcetype>"))),
         true,
         {{.href = "/box/e"}}},
        {"resourcetype without a DAV collection",
         Multistatus(Response("/box/p", Propstat("<D:resourcetype><D:principal/>"
                                                 "<x:collection xmlns:x=\"urn:x\"/>"
                                                 "</D:resourcetype>"))),
         true,
         {{.href = "/box/p"}}},
        {"collection outside resourcetype",
         Multistatus(Response("/box/o", Propstat("<D:collection/><D:resourcetype/>"))),
         true,
         {{.href = "/box/o"}}},
        {"entities and CDATA in the href",
         Multistatus(Response("/box/a&amp;b%20<![CDATA[c<d]]>&#xfc;", "")),
         true,
         {{.href = "/box/a&b%20c<d\xc3\xbc"}}},
        {"Latin-1 answer",
         "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><D:multistatus xmlns:D=\"DAV:\">" +
             Response("/box/\xfc", "") + "</D:multistatus>",
         true,
         {{.href = "/box/\xc3\xbc"}}},
        {"byte order mark", "\xEF\xBB\xBF" + kTwoEntries, true, twoEntries},
        {"namespace DAV without the colon",
         "<D:multistatus xmlns:D=\"DAV\">" + Response("/x", "") + "</D:multistatus>",
         true,
         {}},
        {"not a multistatus",
         "<D:error xmlns:D=\"DAV:\">" + Response("/x", "") + "</D:error>",
         true,
         {}},
        {"responses not under the root",
         Multistatus("<D:x>" + Response("/x", "") + "</D:x>"),
         true,
         {}},
        {"HTML page",
         "<html><head><title>502 Bad Gateway</title></head><body><hr><p>proxy</p></body></html>",
         false,
         {}},
        {"HTML page with a doctype", "<!DOCTYPE html><html><body>Sign in</body></html>", false, {}},
        {"truncated", kTwoEntries.substr(0, kTwoEntries.size() / 2), false, {}},
        {"empty body", "", false, {}},
        {"undeclared prefix", "<D:multistatus><D:response/></D:multistatus>", false, {}},
        {"billion laughs", bomb, false, {}},
        {"external entity",
         "<?xml version=\"1.0\"?><!DOCTYPE m [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
         "<D:multistatus xmlns:D=\"DAV:\">" +
             Response("&x;", "") + "</D:multistatus>",
         false,
         {}},
    };
    for (const Case& c : cases) {
        std::vector<DavResponse> responses = {{.href = "stale"}};
        nbx::xml::ParseError error{.code = 7, .reason = "stale"};
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(ParseMultistatus(c.body, responses, error), c.ok) << c.name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << c.name;
        EXPECT_EQ(responses, c.responses) << c.name;
        if (c.ok) {
            EXPECT_EQ(error.code, 0) << c.name;
        } else {
            EXPECT_NE(error.code, 0) << c.name;
            EXPECT_FALSE(error.reason.empty()) << c.name;
            EXPECT_EQ(error.reason.find("root:"), std::string::npos) << c.name;
        }
    }
}

TEST(MultistatusTest, TenThousandEntries) {
    std::string body;
    for (int i = 0; i < 10000; ++i) {
        const bool folder = i % 10 == 0;
        const std::string n = std::to_string(i);
        body += Response(folder ? "/box/dir%20" + n + "/" : "/box/file%20" + n + ".txt",
                         Propstat(folder ? "<D:resourcetype><D:collection/></D:resourcetype>"
                                         : "<D:resourcetype/><D:getcontentlength>" +
                                               std::to_string(i * 37) + "</D:getcontentlength>") +
                             Propstat("<D:getcontentlength/>", "HTTP/1.1 404 Not Found")) +
                '\n';
    }
    std::vector<DavResponse> responses;
    nbx::xml::ParseError error;
    ASSERT_TRUE(ParseMultistatus(Multistatus(body), responses, error)) << error.reason;
    ASSERT_EQ(responses.size(), 10000u);
    EXPECT_EQ(responses[0],
              (DavResponse{.href = "/box/dir%200/", .contentLength = "", .isFolder = true}));
    EXPECT_EQ(responses[4321], (DavResponse{.href = "/box/file%204321.txt",
                                            .contentLength = std::to_string(4321 * 37)}));
    EXPECT_EQ(responses[9999], (DavResponse{.href = "/box/file%209999.txt",
                                            .contentLength = std::to_string(9999 * 37)}));
    int folders = 0;
    for (const DavResponse& r : responses) {
        folders += r.isFolder ? 1 : 0;
    }
    EXPECT_EQ(folders, 1000);
}

TEST(MultistatusTest, PiecesParseAsTheWhole) {
    const std::string bomb =
        "<?xml version=\"1.0\"?><!DOCTYPE lolz [<!ENTITY lol \"lol\"><!ENTITY lol2 "
        "\"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">]><D:multistatus xmlns:D=\"DAV:\">"
        "<D:response><D:href>&lol2;</D:href></D:response></D:multistatus>";
    // Bytes that are not EUC-JP: a push parser stops at them without marking the document bad.
    const std::string badBytes =
        "<?xml version=\"1.0\" encoding=\"EUC-JP\"?>\n<D:multistatus xmlns:D=\"DAV:\">"
        "<D:response><D:href>/a</D:href></D:response><D:response><D:href>/\xFF\xFE</D:href>"
        "</D:response></D:multistatus>";
    // Values of blanks only: whether they are kept hung on the character after a "<" that
    // ended a piece.
    const std::string blankValues =
        "<D:multistatus xmlns:D=\"DAV:\"><D:response><D:href>/a</D:href><D:propstat><D:prop>"
        "<D:getcontenttype> </D:getcontenttype><D:getlastmodified>\n</D:getlastmodified>"
        "</D:prop></D:propstat></D:response></D:multistatus>";
    const std::string bodies[] = {Fixture("apache-propfind.xml"),
                                  Fixture("lighttpd-propfind.xml"),
                                  Fixture("nginx-propfind.xml"),
                                  Fixture("rclone-propfind.xml"),
                                  kTwoEntries,
                                  bomb,
                                  "<D:multistatus xmlns:D=\"DAV:\"><D:resp",
                                  badBytes,
                                  kTwoEntries + '\0',
                                  blankValues};
    for (const std::string& body : bodies) {
        std::vector<DavResponse> whole;
        nbx::xml::ParseError wholeError;
        const bool wholeOk = ParseMultistatus(body, whole, wholeError);
        for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{20000}}) {
            nbx::remotefs::MultistatusParser parser;
            for (std::size_t pos = 0; pos < body.size(); pos += piece) {
                parser.Write(body.data() + pos, std::min(piece, body.size() - pos));
            }
            std::vector<DavResponse> pieces;
            nbx::xml::ParseError error;
            ASSERT_EQ(parser.Finish(pieces, error), wholeOk) << body.substr(0, 60) << piece;
            ASSERT_EQ(pieces.size(), whole.size());
            for (std::size_t i = 0; i < whole.size(); ++i) {
                EXPECT_EQ(pieces[i].href, whole[i].href);
                EXPECT_EQ(pieces[i].contentLength, whole[i].contentLength);
                EXPECT_EQ(pieces[i].contentType, whole[i].contentType) << piece;
                EXPECT_EQ(pieces[i].lastModified, whole[i].lastModified);
                EXPECT_EQ(pieces[i].isFolder, whole[i].isFolder);
            }
            if (!wholeOk) {
                EXPECT_EQ(error.code, wholeError.code) << body.substr(0, 60);
            }
        }
    }
    nbx::remotefs::MultistatusParser nothing;
    std::vector<DavResponse> none;
    nbx::xml::ParseError error;
    EXPECT_FALSE(nothing.Finish(none, error)) << "an empty answer is no document";
}
