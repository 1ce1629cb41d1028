#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/xml.h"
#include "support/test_support.h"

using nbx::xml::Document;
using nbx::xml::Node;
using nbx::xml::ParseError;

namespace {

// Collects what is written to file descriptor 2 while it lives: libxml2 prints there by default.
class StderrCapture {
public:
    StderrCapture() : file_(std::tmpfile()), saved_(::dup(2)) {
        std::fflush(stderr);
        ::dup2(::fileno(file_), 2);
    }
    ~StderrCapture() {
        Finish();
        std::fclose(file_);
    }
    std::string Finish() {
        if (saved_ >= 0) {
            std::fflush(stderr);
            ::dup2(saved_, 2);
            ::close(saved_);
            saved_ = -1;
        }
        std::string out;
        std::rewind(file_);
        for (int c; (c = std::fgetc(file_)) != EOF;) {
            out += static_cast<char>(c);
        }
        return out;
    }

private:
    std::FILE* file_;
    int saved_;
};

std::vector<std::string> Texts(const Document& doc, const std::string& xpath, Node context) {
    std::vector<std::string> out;
    for (const Node& node : doc.Select(Document::Compile(xpath.c_str()), context)) {
        out.push_back(doc.Text(node));
    }
    return out;
}

const char kTree[] = R"(<D:multistatus xmlns:D="DAV:" xmlns:x="urn:x">
  <D:response>
    <D:href>one</D:href>
    <D:propstat><D:prop><D:v>1a</D:v><x:v>xa</x:v></D:prop></D:propstat>
    <D:propstat><D:prop><v xmlns="DAV:">1b</v><D:prop><D:v>nested</D:v></D:prop></D:prop></D:propstat>
  </D:response>
  <response xmlns="DAV:"><href>two</href></response>
  <r:response xmlns:r="DAV"><r:href>lookalike</r:href></r:response>
  <response><href>none</href></response>
  <D:other><D:response><D:href>deep</D:href></D:response></D:other>
</D:multistatus>)";

}  // namespace

TEST(XmlTest, RefusesWhatIsNotAWellFormedDocumentAndPrintsNothing) {
    struct Case {
        const char* name;
        std::string text;
        int code;  // 0: any error
    };
    const Case cases[] = {
        {"empty", "", 0},
        {"plain text", "HTTP/1.1 502 Bad Gateway", 0},
        {"truncated", "<a><b>x</b", 0},
        {"mismatched tags", "<a></b>", 0},
        {"two roots", "<a/><b/>", 0},
        {"undeclared prefix", "<D:a/>", 0},
        {"undeclared entity", "<a>&e;</a>", 0},
        {"not UTF-8", "<a>\xff\xfe</a>", 0},
        {"bad bytes for the declared encoding",
         "<?xml version=\"1.0\" encoding=\"EUC-JP\"?><a>\x8e\xff\xff\xff</a>", 0},
        {"unknown encoding", "<?xml version=\"1.0\" encoding=\"bogus\"?><a/>", 0},
        // libxml2 reads a NUL after the root as the end of the text; the rest is never seen.
        {"a NUL byte after the root", std::string("<a/>\0<b/>", 9), 0},
        {"a NUL byte at the end", std::string("<a/>\n\0", 6), 0},
        {"doctype", "<!DOCTYPE a><a/>", nbx::xml::kRefusedDoctype},
        {"internal entity", "<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>",
         nbx::xml::kRefusedDoctype},
    };
    StderrCapture capture;
    for (const Case& c : cases) {
        ParseError error;
        EXPECT_EQ(Document::Parse(c.text, &error), nullptr) << c.name;
        if (c.code != 0) {
            EXPECT_EQ(error.code, c.code) << c.name;
        } else {
            EXPECT_NE(error.code, 0) << c.name;
        }
        EXPECT_FALSE(error.reason.empty()) << c.name;
    }
    EXPECT_EQ(capture.Finish(), "");

    ParseError error{.code = 5, .reason = "stale"};
    EXPECT_NE(Document::Parse("<a/>", &error), nullptr);
    EXPECT_EQ(error.code, 0);
    EXPECT_EQ(error.reason, "");
}

class XmlExternalTest : public nbx::test::TempHome {};

TEST_F(XmlExternalTest, DoctypeIsRefusedBeforeAnyFileOrNetworkIsTouched) {
    const std::string secret = Root() + "/secret";
    nbx::test::WriteFile(secret, "secret-marker");
    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, secret.c_str(), IN_OPEN | IN_ACCESS), 0);

    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string http = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port));

    const std::string documents[] = {
        "<!DOCTYPE a [<!ENTITY x SYSTEM \"file://" + secret + "\">]><a>&x;</a>",
        "<!DOCTYPE a SYSTEM \"" + secret + "\"><a/>",
        "<!DOCTYPE a [<!ENTITY % p SYSTEM \"" + secret + "\"> %p;]><a/>",
        "<!DOCTYPE a SYSTEM \"" + http + "/a.dtd\"><a/>",
        "<!DOCTYPE a [<!ENTITY x SYSTEM \"" + http + "/x\">]><a>&x;</a>",
    };
    for (const std::string& text : documents) {
        ParseError error;
        EXPECT_EQ(Document::Parse(text, &error), nullptr) << text;
        EXPECT_EQ(error.code, nbx::xml::kRefusedDoctype) << text;
        EXPECT_EQ(error.reason.find("secret-marker"), std::string::npos);
    }

    char events[4096];
    EXPECT_EQ(::read(watch, events, sizeof events), -1) << "the file was opened";
    EXPECT_EQ(errno, EAGAIN);
    EXPECT_EQ(::accept(listener, nullptr, nullptr), -1) << "a connection was made";
    EXPECT_EQ(errno, EAGAIN);
    ::close(watch);
    ::close(listener);
}

TEST(XmlTest, PathsSelectInDocumentOrderWithTheDavPrefix) {
    const auto doc = Document::Parse(kTree, nullptr);
    ASSERT_NE(doc, nullptr);
    const auto response =
        doc->SelectFirst(Document::Compile("/D:multistatus/D:response"), doc->Root());
    ASSERT_TRUE(response.has_value());

    struct Case {
        const char* xpath;
        bool fromResponse;  // else from the document node
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {"/D:multistatus/D:response/D:href", false, {"one", "two"}},
        {"/D:multistatus/D:response/D:href", true, {"one", "two"}},
        {"/D:multistatus/response/href", false, {"none"}},
        {"/multistatus/response/href", false, {}},
        {"D:multistatus/D:other/D:response/D:href", false, {"deep"}},
        {"./D:propstat/D:prop/D:v", true, {"1a", "1b"}},
        {"D:href", true, {"one"}},
        {"./D:href/D:none", true, {}},
        {"//D:href", false, {"one", "two", "deep"}},
        {"/D:multistatus/*[local-name()='response']/*[local-name()='href']",
         false,
         {"one", "two", "lookalike", "none"}},
    };
    for (const Case& c : cases) {
        const Node context = c.fromResponse ? *response : doc->Root();
        EXPECT_EQ(Texts(*doc, c.xpath, context), c.texts) << c.xpath;
        // A plain path is walked by our own code; a predicate sends it through libxml2.
        if (std::string(c.xpath).find_first_of("[(") == std::string::npos) {
            EXPECT_EQ(Texts(*doc, std::string(c.xpath) + "[true()]", context), c.texts)
                << c.xpath << " through libxml2";
        }
    }
    const auto first = doc->SelectFirst(Document::Compile("./D:propstat/D:prop/D:v"), *response);
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(doc->Text(*first), "1a");
    EXPECT_FALSE(doc->SelectFirst(Document::Compile("./D:nothing"), *response).has_value());
}

TEST(XmlTest, TextIsTheStringValueAsWritten) {
    const auto doc = Document::Parse(
        "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
        "<a k=\"v&amp;w\">  lead <!--c--><b>x&amp;<c>y</c></b><![CDATA[<z>]]>&#x41;\xfc"
        "<e>  </e><f>\n</f><g/></a>",
        nullptr);
    ASSERT_NE(doc, nullptr);
    struct Case {
        const char* xpath;
        std::string text;
    };
    const Case cases[] = {
        {"/a", "  lead x&y<z>A\xc3\xbc  \n"},
        {"/a/b", "x&y"},
        {"/a/e", "  "},
        {"/a/f", "\n"},
        {"/a/g", ""},
        {"/a/@k", "v&w"},
        {"/a/b/text()", "x&"},
    };
    for (const Case& c : cases) {
        const auto node = doc->SelectFirst(Document::Compile(c.xpath), doc->Root());
        ASSERT_TRUE(node.has_value()) << c.xpath;
        EXPECT_EQ(doc->Text(*node), c.text) << c.xpath;
    }
}

TEST(XmlTest, BadQueriesSelectNothingAndPrintNothing) {
    const auto doc = Document::Parse("<a><b/></a>", nullptr);
    ASSERT_NE(doc, nullptr);
    StderrCapture capture;
    ParseError error;
    const Document::Query broken = Document::Compile("/a[", &error);
    EXPECT_FALSE(broken);
    EXPECT_NE(error.code, 0);
    EXPECT_FALSE(error.reason.empty());
    EXPECT_TRUE(doc->Select(broken, doc->Root()).empty());
    EXPECT_TRUE(Document::Compile("/a/b", &error));
    EXPECT_EQ(error.code, 0);
    for (const char* xpath : {"count(/a)", "/x:a", "/a/b[x:c]", "string(/a)"}) {
        EXPECT_TRUE(doc->Select(Document::Compile(xpath), doc->Root()).empty()) << xpath;
    }
    EXPECT_EQ(capture.Finish(), "");
}

TEST(XmlTest, SeparateDocumentsWorkOnSeparateThreads) {
    static const Document::Query direct = Document::Compile("/D:r/D:e");
    static const Document::Query general = Document::Compile("//D:e[@n]");
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < 50; ++i) {
                const std::string mark = std::to_string(t * 1000 + i);
                const std::string body =
                    "<D:r xmlns:D=\"DAV:\"><D:e n=\"1\">" + mark + "</D:e><D:e>x</D:e>";
                ParseError error;
                if (Document::Parse(body + "<D:bad></D:r>", &error) != nullptr || error.code == 0) {
                    ++wrong;
                }
                const auto doc = Document::Parse(body + "</D:r>", nullptr);
                if (doc == nullptr || doc->Select(direct, doc->Root()).size() != 2) {
                    ++wrong;
                    continue;
                }
                const auto hit = doc->SelectFirst(general, doc->Root());
                if (!hit || doc->Text(*hit) != mark) {
                    ++wrong;
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong.load(), 0);
}
