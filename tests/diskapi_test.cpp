// The cloud-disk file system and transfers against the development service, over HTTPS with
// the CA made for it.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
#include <thread>

#include "base/deployment_profile.h"
#include "base/session_log.h"
#include "base/text_helpers.h"
#include "nodes/nbx_node.h"
#include "platform/http_client.h"
#include "remotefs/fs_service.h"
#include "remotefs/ft_service.h"
#include "support/dev_service.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nbx::test::DevService;
using nbx::test::ReadFile;
using nbx::test::WriteFile;

namespace {

constexpr const char* kLogin = "me@example.net";
constexpr const char* kPassword = "disk pass";

class DiskApiTest : public nbx::test::TempHome {
protected:
    void SetUp() override {
        TempHome::SetUp();
        OpenSessionLog(Root() + "/session.log");
        service_ =
            std::make_unique<DevService>(std::vector<DevService::Account>{{kLogin, kPassword}});
        ASSERT_TRUE(service_->Started());
        UseProfile("[Service]\nDiskApiHost=" + service_->DiskHost() +
                   "\n[Tls]\nCaBundle=" + service_->CaFile() + "\n");
        node_ = std::make_unique<CNbxNode>(NodeSettings{.node_type = NodeType::ServiceNode,
                                                        .device_type = DeviceKind::Disk,
                                                        .nbx_proxy = service_->DiskUrl(),
                                                        .login = kLogin,
                                                        .password = kPassword,
                                                        .title_name = "Disk"});
    }
    void TearDown() override {
        service_.reset();
        ::unsetenv("NIMBEXSHELL_DEPLOYMENT");
        ReloadDeploymentProfile();
        nbx::http::SetDefaultTls({});
        CloseSessionLog();
        TempHome::TearDown();
    }
    void UseProfile(const std::string& text) {
        WriteFile(Root() + "/deployment.ini", text);
        ::setenv("NIMBEXSHELL_DEPLOYMENT", (Root() + "/deployment.ini").c_str(), 1);
        ApplyDeploymentTls(ReloadDeploymentProfile());
    }
    std::string OnDisk(const std::string& path) const { return service_->DiskDir(kLogin) + path; }
    std::string Log() const { return ReadFile(Root() + "/session.log"); }

    std::unique_ptr<DevService> service_;
    std::unique_ptr<CNbxNode> node_;
};

TEST_F(DiskApiTest, EveryFolderOperationWithOddNames) {
    CNbxFileSystemService service;
    const std::string folder = "/Docs \xE6\x97\xA5\xE6\x9C\xAC & more=1/";
    ASSERT_EQ(service._CREATE(*node_, folder), 200);
    EXPECT_TRUE(fs::is_directory(OnDisk(folder)));
    WriteFile(OnDisk(folder + "a b&c=d.txt"), "hello");
    fs::create_directories(OnDisk(folder + "sub"));

    ASSERT_EQ(service._LIST(*node_, folder), 200);
    std::vector<std::pair<std::string, bool>> names;
    for (const CNbxFile* f = service.GetFirst(); f != nullptr; f = service.GetNext()) {
        names.emplace_back(f->name, f->isFolder);
    }
    EXPECT_EQ(names, (std::vector<std::pair<std::string, bool>>{
                         {folder + "a b&c=d.txt", false}, {folder + "sub", true}, {folder, true}}));
    const auto request = service_->LastRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->method, "GET");
    EXPECT_EQ(request->target, "/nxapi/getList/?path=" + EscapeUrlPath(folder));
    EXPECT_EQ(request->Header("Content-Type"), "text/xml");
    EXPECT_EQ(request->Header("Authorization"), "Basic " + MakeBasicCredentials(kLogin, kPassword));

    EXPECT_EQ(service._COPY(*node_, folder + "a b&c=d.txt", "/copied.txt"), 200);
    EXPECT_EQ(ReadFile(OnDisk("/a b&c=d.txt")), "hello") << "a copy names the folder it goes to";
    EXPECT_EQ(service._MOVE(*node_, "/a b&c=d.txt", "/renamed.txt"), 200);
    EXPECT_EQ(ReadFile(OnDisk("/renamed.txt")), "hello");
    EXPECT_EQ(service._MOVE(*node_, "/renamed.txt", folder + "sub/renamed.txt"), 200);
    EXPECT_TRUE(fs::exists(OnDisk(folder + "sub/renamed.txt")));
    EXPECT_EQ(service._DELETE(*node_, folder), 200);
    EXPECT_FALSE(fs::exists(OnDisk(folder)));
    EXPECT_EQ(service._LIST(*node_, "/gone/"), 404);

    CNbxNode wrong(*node_);
    wrong.password = "nope";
    EXPECT_EQ(service._LIST(wrong, "/"), 401);
}

TEST_F(DiskApiTest, ListingAnswersOfOddShapesFromTheWire) {
    const struct {
        const char* name;
        std::string body;
        int result;
        int entries;  // the folder's own entry included
    } cases[] = {
        {"comments", "// answer\n{\"response\": /* none */ {\"items\":[]}}", 200, 1},
        {"items as an object",
         R"({"response":{"items":{"b":{"name":"b","prop":{"actualsize":"1","contenttype":"x","datetime":"t"}},
            "a":{"name":"a","prop":{"actualsize":"1","contenttype":"x","datetime":"t"}}}}})",
         200, 3},
        {"missing members", R"({"response":{"items":[{"name":"x"},{"prop":{}}]}})", 200, 1},
        {"wrong types", R"({"resultCode":[],"response":{"items":[{"name":1,"prop":2}]}})", 200, 1},
        {"no items", R"({"response":{}})", 200, 0},
        {"not JSON", "<html>oops</html>", -1, 0},
        {"names no path can carry left out",
         R"({"response":{"items":[{"name":"a/b","prop":{"actualsize":"1","contenttype":"x","datetime":"t"}},
            {"name":"..","prop":{"actualsize":"1","contenttype":"x","datetime":"t"}},
            {"name":"+%41\u0001?","prop":{"actualsize":"1","contenttype":"x","datetime":"t"}}]}})",
         200, 2},
    };
    CNbxFileSystemService service;
    for (const auto& c : cases) {
        service_->SetNextListing(200, c.body);
        EXPECT_EQ(service._LIST(*node_, "/"), c.result) << c.name;
        EXPECT_EQ(service.GetCount(), c.entries) << c.name;
    }
    EXPECT_NE(Log().find("ERROR: CNbxFsWebDav::_LIST(): Json::Reader::parse() failed with error: "),
              std::string::npos);
    ASSERT_NE(service.GetFirst(), nullptr);
    EXPECT_EQ(service.GetFirst()->name, "/+%41\x01?") << "listed names are kept byte for byte";
}

TEST_F(DiskApiTest, TransfersAndTheMultipartBodyByteForByte) {
    const std::string data(45000, 'm');
    const std::string local = Root() + "/report 1.txt";
    WriteFile(local, data);
    fs::create_directories(OnDisk("/docs \xE6\x97\xA5"));
    CNbxFileTransferService ft;
    ASSERT_EQ(ft._UPLOAD(*node_, local, "/docs \xE6\x97\xA5/report 1.txt"), 200);
    EXPECT_EQ(ReadFile(OnDisk("/docs \xE6\x97\xA5/report 1.txt")), data);

    const auto upload = service_->LastRequest();
    ASSERT_TRUE(upload);
    EXPECT_EQ(upload->method, "POST");
    EXPECT_EQ(upload->target, "/nxapi/upLoad/");
    EXPECT_EQ(upload->Header("Content-Type"), "multipart/form-data; boundary=---NbXsHeLlBoUnDaRy");
    std::string head, tail;
    CNbxFtDiskApi::MultipartFraming("/docs \xE6\x97\xA5/report 1.txt", head, tail);
    ASSERT_TRUE(upload->uploadHead && upload->uploadTail);
    EXPECT_EQ(*upload->uploadHead, head);
    EXPECT_EQ(*upload->uploadTail, tail);
    EXPECT_EQ(upload->announcedLength, head.size() + data.size() + tail.size());
    EXPECT_EQ(upload->uploadFileLength, data.size());

    const std::string back = Root() + "/back.txt";
    ASSERT_EQ(ft._DOWNLOAD(*node_, "/docs \xE6\x97\xA5/report 1.txt", back), 200);
    EXPECT_EQ(ReadFile(back), data);
    EXPECT_EQ(service_->LastRequest()->target,
              "/nxapi/get/?path=" + EscapeUrlPath("/docs \xE6\x97\xA5/report 1.txt"));

    EXPECT_EQ(ft._DOWNLOAD(*node_, "/none.txt", Root() + "/none.txt"), 400);
}

TEST_F(DiskApiTest, UploadSessionAbandonedBeforeTheTailKeepsNoFile) {
    CNbxFileTransferService ft;
    const std::string block(20000, 's');
    ASSERT_EQ(ft._UPLOAD_SESSION_OPEN("/session.bin", *node_, 60000), 200);
    std::size_t written = 0;
    ASSERT_EQ(ft._UPLOAD_SESSION_WRITE(block.data(), block.size(), &written), 200);
    EXPECT_EQ(ft._SESSION_CLOSE(false), 200);
    std::this_thread::sleep_for(300ms);  // the service notices the broken body
    EXPECT_FALSE(fs::exists(OnDisk("/session.bin")));
    for (const auto& entry : fs::directory_iterator(service_->DiskDir(kLogin))) {
        ADD_FAILURE() << "left behind: " << entry.path();
    }

    CNbxFileTransferService whole;
    ASSERT_EQ(whole._UPLOAD_SESSION_OPEN("/session.bin", *node_, 40000), 200);
    ASSERT_EQ(whole._UPLOAD_SESSION_WRITE(block.data(), block.size(), &written), 200);
    ASSERT_EQ(whole._UPLOAD_SESSION_WRITE(block.data(), block.size(), &written), 200);
    EXPECT_EQ(whole._SESSION_CLOSE(true), 200);
    EXPECT_EQ(ReadFile(OnDisk("/session.bin")), block + block);

    std::uint64_t size = 0;
    ASSERT_EQ(whole._DOWNLOAD_SESSION_OPEN("/session.bin", *node_, &size), 200);
    EXPECT_EQ(size, 40000u);
    EXPECT_EQ(whole._SESSION_CLOSE(false), 200);
}

// The file name goes between the quotes of a Content-Disposition line and the folder on a line
// of its own: a name that would break out of them is refused before anything is sent.
TEST_F(DiskApiTest, NamesTheFormCannotCarryAreRefusedBeforeAnyRequest) {
    const std::string local = Root() + "/payload.txt";
    WriteFile(local, "payload");
    const std::string refused[] = {
        "/say \"hi\".txt",
        "/x.txt\"\r\n\r\nforged\r\n-----NbXsHeLlBoUnDaRy\r\nContent-Disposition: form-data; "
        "name=\"extra\"\r\n\r\nfield",
        "/line\nbreak.txt",
        "/carriage\rreturn.txt",
        "/tab\there.txt",
        "/bell\x07.txt",
        "/del\x7F.txt",
        "/folder\r\nname=\"extra\"/a.txt",
    };
    service_->ResetHooks();
    CNbxFileTransferService ft;
    for (const std::string& name : refused) {
        EXPECT_EQ(ft._UPLOAD(*node_, local, name), 400) << name;
        EXPECT_EQ(ft._UPLOAD_SESSION_OPEN(name, *node_, 7), 400) << name;
        EXPECT_EQ(ft._SESSION_CLOSE(true), 200);
    }
    EXPECT_FALSE(service_->LastRequest()) << "nothing was sent";
    for (const auto& entry : fs::recursive_directory_iterator(service_->DiskDir(kLogin))) {
        ADD_FAILURE() << "created: " << entry.path();
    }
    EXPECT_NE(Log().find("ERROR: CNbxFtDiskApi::_UPLOAD(): the name cannot be carried in the "
                         "upload: \"/line\\x0Abreak.txt\"\r\n"),
              std::string::npos)
        << Log();
    EXPECT_NE(Log().find("ERROR: CNbxFtDiskApi::_UPLOAD_SESSION_OPEN(): the name cannot be "
                         "carried in the upload: \"/say \"hi\".txt\"\r\n"),
              std::string::npos);

    // A quote in the folder travels on a line of its own, where it is plain text.
    fs::create_directories(OnDisk("/say \"hi\""));
    ASSERT_EQ(ft._UPLOAD(*node_, local, "/say \"hi\"/payload.txt"), 200);
    EXPECT_EQ(ReadFile(OnDisk("/say \"hi\"/payload.txt")), "payload");
}

TEST_F(DiskApiTest, LocalReadFailureOfAnUploadIsRecordedUnderItsOwnName) {
    // A regular file whose first read fails.
    CNbxFileTransferService ft;
    EXPECT_EQ(ft._UPLOAD(*node_, "/proc/self/mem", "/mem.bin"), -1);
    EXPECT_NE(Log().find("ERROR: CNbxFtDiskApi::_UPLOAD() failed with error msg: \""),
              std::string::npos)
        << Log();
    EXPECT_EQ(Log().find("CCNbxFtWebDav"), std::string::npos);
}

TEST_F(DiskApiTest, ProbesMapTheServersStatus) {
    const std::pair<int, int> cases[] = {{200, 200}, {302, 302}, {404, 502}, {501, 200}};
    CNbxFileTransferService ft;
    for (const auto& [status, expected] : cases) {
        service_->SetNextGetStatus(status);
        EXPECT_EQ(ft._CHECK_ONLINE(*node_), expected) << status;
    }
    fs::create_directories(OnDisk("/folder"));
    WriteFile(OnDisk("/folder/file.txt"), "x");
    EXPECT_EQ(ft._EXIST(*node_, "/folder/"), 200) << "a folder's get answers 501";
    EXPECT_EQ(ft._EXIST(*node_, "/folder/file.txt"), 200);
    EXPECT_EQ(ft._EXIST(*node_, "/folder/none.txt"), 400);
}

TEST_F(DiskApiTest, ThumbnailsAskForTheirWidth) {
    // Any bytes do: the test decoder looks at nothing but their presence.
    struct Decoder : IImageDecoder {
        struct Bitmap : CNbxBitmap {
            int Width() const override { return 1; }
            int Height() const override { return 1; }
        };
        std::unique_ptr<CNbxBitmap> Decode(const unsigned char*, std::size_t size) override {
            return size > 0 ? std::make_unique<Bitmap>() : nullptr;
        }
    } decoder;
    WriteFile(OnDisk("/note.txt"), "not a picture, sent as it is");
    SetImageDecoder(&decoder);
    CNbxFileTransferService ft;
    EXPECT_NE(ft._THUMBNAIL(*node_, "/note.txt"), nullptr);
    SetImageDecoder(nullptr);
    EXPECT_EQ(service_->LastRequest()->target, "/nxapi/get/?path=/note.txt&cx=96");
}

TEST_F(DiskApiTest, CertificatesAreCheckedUnlessTheProfileSaysOtherwise) {
    DevService rogue({{kLogin, kPassword}}, DevService::Options{.rogueCert = true});
    ASSERT_TRUE(rogue.Started());
    UseProfile("[Service]\nDiskApiHost=" + rogue.DiskHost() +
               "\n[Tls]\nCaBundle=" + service_->CaFile() + "\n");
    CNbxFileSystemService service;
    EXPECT_EQ(service._LIST(*node_, "/"), -2) << "a certificate the CA did not sign is refused";
    CNbxFileTransferService ft;
    EXPECT_EQ(ft._CHECK_ONLINE(*node_), 400);

    UseProfile("[Service]\nDiskApiHost=" + rogue.DiskHost() + "\n[Tls]\nVerifyPeer=false\n");
    EXPECT_EQ(service._LIST(*node_, "/"), 200);
    EXPECT_NE(Log().find("WARNING: ApplyDeploymentTls(): HTTPS certificates are not verified: the "
                         "deployment profile \""),
              std::string::npos);

    UseProfile("[Service]\nDiskApiHost=" + service_->DiskHost() + "\n");
    EXPECT_EQ(service._LIST(*node_, "/"), -2) << "the system's CAs do not know the service's";
}

}  // namespace
