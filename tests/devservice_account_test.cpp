// The development service's account service: the device lookup and node list over HTTPS, the
// push endpoint, the shared folders' redirect and a sleeping handset's node over plain HTTP.

#include <gtest/gtest.h>
#include <chrono>
#include <string>

#include "platform/http_client.h"
#include "support/dev_service.h"
#include "support/test_support.h"

namespace nbx::test {
namespace {

using namespace std::chrono_literals;

// A password that only survives form encoding.
const DevService::Account kCarol{"carol@example.net", "p&w=1 +%"};
const DevService::Account kDave{"dave@example.org", "dave"};
const std::string kCarolForm = "mail_addr=carol%40example.net&password=p%26w%3D1+%2B%25";

const std::string kSeed =
    "# carol's devices, in the order of her node list\n"
    "device carol@example.net khandset hs01 @web 1 EG-HS pw-hs BRK-HS sleep=400\n"
    "device carol@example.net kworkstation ws01 10.0.0.7:8081 0 EG-WS pw-ws BRK-WS\n"
    "device carol@example.net disk carol-disk @disk 1 EG-DK pw-dk BRK-DK\n"
    "device dave@example.org ktablet tb01 @web 1 EG-TB pw-tb BRK-TB\n"
    "folder pub http://127.0.0.1:8080\n"
    "folder plain http://share.example.net\n";

class AccountServiceTest : public ::testing::Test {
protected:
    struct Answer {
        int status = 0;
        std::string body;
        std::string location;
    };

    void SetUp() override { ASSERT_TRUE(service_.Started()); }

    Answer Send(const std::string& method, const std::string& url, const std::string& body,
                std::chrono::milliseconds receive = 60s) const {
        http::Request request;
        request.method = method;
        request.url = url;
        request.body = body;
        request.receiveTimeout = receive;
        request.headers = {{"Content-Type", "application/x-www-form-urlencoded"}};
        request.tls = http::TlsSettings{.caBundle = service_.CaFile(), .verifyPeer = true};
        http::Client client;
        http::StringSink sink;
        const http::Result result = client.Perform(request, &sink);
        EXPECT_TRUE(result.Ok()) << url << ": " << result.message;
        return {result.response.status, sink.text, result.response.HeaderValue("Location")};
    }
    Answer Api(const std::string& page, const std::string& form) const {
        return Send("POST", service_.DiskUrl() + "/xv/xvnode/api/" + page, form);
    }
    Answer Push(const std::string& form) const {
        return Send("POST", "http://" + service_.WebHost() + "/cgi-bin/nimbex/apnsapi.cgi", form);
    }
    int Probe(const std::string& path) const {
        return Send("GET", "http://" + service_.WebHost() + path, "").status;
    }

    DevService service_{{kCarol, kDave}, {.testHooks = true, .seed = kSeed}};
};

TEST_F(AccountServiceTest, DeviceLookupAnswersEachDeviceOfTheAccount) {
    const std::string web = service_.WebHost();
    const std::string disk = service_.DiskHost();
    struct Row {
        const char* suffix;
        int status;
        std::string body;
    } rows[] = {
        {"khandset", 200,
         "egid=EG-HS\npassword=pw-hs\nsnhost=hs01\nbrk=BRK-HS\nproxy=" + web +
             "\nlocation=/hs01/\nredirect=0\n"},
        {"kworkstation", 200,
         "egid=EG-WS\npassword=pw-ws\nsnhost=ws01\nbrk=BRK-WS\nproxy=10.0.0.7:8081\n"
         "location=/ws01/\nredirect=0\n"},
        {"disk", 200,
         "egid=EG-DK\npassword=pw-dk\nsnhost=carol-disk\nbrk=BRK-DK\nproxy=" + disk +
             "\nlocation=/carol-disk/\nredirect=0\n"},
        // Dave's tablet is not carol's.
        {"ktablet", 404, "error=no such device\n"},
        {"KHANDSET", 404, "error=no such device\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.suffix);
        const Answer answer = Api("getegid.jsp", kCarolForm + "&suffix=" + row.suffix);
        EXPECT_EQ(answer.status, row.status);
        EXPECT_EQ(answer.body, row.body);
    }
    const DevService::RecordedRequest last = service_.LastRequest().value();
    EXPECT_EQ(last.target, "/xv/xvnode/api/getegid.jsp");
    EXPECT_EQ(last.body, kCarolForm + "&suffix=KHANDSET");
}

TEST_F(AccountServiceTest, NodeListHasOneLineEndedByALineFeedPerDevice) {
    EXPECT_EQ(Api("getnode2.jsp", kCarolForm).body,
              "hs01,carol@example.net,khandset," + service_.WebHost() +
                  ",1\n"
                  "ws01,carol@example.net,kworkstation,10.0.0.7:8081,0\n"
                  "carol-disk,carol@example.net,disk," +
                  service_.DiskHost() + ",1\n");
    EXPECT_EQ(Api("getnode2.jsp", "mail_addr=dave%40example.org&password=dave").body,
              "tb01,dave@example.org,ktablet," + service_.WebHost() + ",1\n");
}

TEST_F(AccountServiceTest, RefusesWrongCredentialsAndBadForms) {
    const struct {
        const char* page;
        std::string form;
        int status;
    } rows[] = {
        {"getnode2.jsp", "mail_addr=carol%40example.net&password=p&w=1 +%", 400},
        {"getnode2.jsp", "mail_addr=carol%40example.net&password=wrong", 403},
        {"getnode2.jsp", "password=dave", 403},
        {"getegid.jsp", "mail_addr=dave%40example.org&password=carol&suffix=ktablet", 403},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.form);
        EXPECT_EQ(Api(row.page, row.form).status, row.status);
    }
    EXPECT_EQ(Push("mail_addr=dave%40example.org&password=dave&node=hs01").status, 404);
    EXPECT_EQ(Push("mail_addr=dave%40example.org&password=x&node=tb01").status, 403);
}

TEST_F(AccountServiceTest, PushWakesASleepingHandsetAfterItsDelay) {
    EXPECT_EQ(Probe("/hs01/"), 504);
    EXPECT_EQ(Probe("/tb01/Photos/"), 200);  // never asleep
    EXPECT_EQ(Probe("/nobody/"), 404);

    const auto pushed = std::chrono::steady_clock::now();
    const Answer push = Push(kCarolForm + "&node=hs01");
    EXPECT_EQ(push.status, 200);
    const DevService::RecordedRequest last = service_.LastRequest().value();
    EXPECT_EQ(last.target, "/cgi-bin/nimbex/apnsapi.cgi");
    EXPECT_EQ(last.body, kCarolForm + "&node=hs01");

    ASSERT_TRUE(Eventually([&] { return Probe("/hs01/") == 200; }));
    EXPECT_GE(std::chrono::steady_clock::now() - pushed, 400ms);
}

TEST_F(AccountServiceTest, FolderRedirectAnswers301ToTheFolderHost) {
    const Answer withPort = Send("HEAD", "http://" + service_.WebHost() + "/pub/a%20b/", "");
    EXPECT_EQ(withPort.status, 301);
    EXPECT_EQ(withPort.location, "http://127.0.0.1:8080/pub/a%20b/");
    const Answer withoutPort = Send("HEAD", "http://" + service_.WebHost() + "/plain/", "");
    EXPECT_EQ(withoutPort.status, 301);
    EXPECT_EQ(withoutPort.location, "http://share.example.net/plain/");
    EXPECT_EQ(service_.LastRequest().value().method, "HEAD");
}

TEST_F(AccountServiceTest, QueuedAnswersReplaceTheServicesOwnOnceEach) {
    service_.SetNextAccountAnswer(500, "");
    service_.SetNextAccountAnswer(200, "garbage\x01 without a line end");
    service_.SetNextAccountAnswer(200, "late\n", 300);
    EXPECT_EQ(Api("getnode2.jsp", kCarolForm).status, 500);
    EXPECT_EQ(Api("getegid.jsp", kCarolForm).body, "garbage\x01 without a line end");
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_EQ(Push("node=x").body, "late\n");
    EXPECT_GE(std::chrono::steady_clock::now() - asked, 300ms);
    EXPECT_EQ(Api("getegid.jsp", kCarolForm + "&suffix=kworkstation").status, 200);

    // A slow answer outlasts a client's receive time-out.
    service_.SetNextAccountAnswer(200, "slow\n", 3000);
    http::Request request;
    request.method = "POST";
    request.url = service_.DiskUrl() + "/xv/xvnode/api/getnode2.jsp";
    request.body = kCarolForm;
    request.receiveTimeout = 300ms;
    request.tls = http::TlsSettings{.caBundle = service_.CaFile(), .verifyPeer = true};
    http::Client client;
    EXPECT_EQ(client.Perform(request, nullptr).error, http::Error::Timeout);
}

}  // namespace
}  // namespace nbx::test
