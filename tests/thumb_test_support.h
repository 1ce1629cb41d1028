#pragma once

#include <gtest/gtest.h>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/session_log.h"
#include "monitor/thumb_manager.h"
#include "nodes/nbx_node.h"
#include "support/test_support.h"
#include "support/webdav_server.h"

namespace nbx::test {

// The view's side of the thumbnail manager: what arrived, in order ("start", "finish", or the
// remote path of a delivered thumb), and the bitmaps it took over.
class ThumbRecorder : public IFileThumbManagerCallback {
public:
    void OnFileThumbDownloadStart() override { Add("start"); }
    void OnFileThumbDownloadFinish() override { Add("finish"); }
    void OnFileThumbDownloaded(CNbxFileThumb& thumb) override {
        std::unique_ptr<CNbxBitmap> bitmap = thumb.TakeBitmap();
        std::lock_guard guard(mutex_);
        bitmaps_[thumb.GetRemotePath()] = std::move(bitmap);
        events_.push_back(thumb.GetRemotePath());
        changed_.notify_all();
    }

    // Bounded only so that a broken engine fails the test instead of hanging it.
    bool WaitForFinishes(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(60), [&] {
            int finishes = 0;
            for (const std::string& e : events_) {
                finishes += e == "finish" ? 1 : 0;
            }
            return finishes >= count;
        });
    }
    std::vector<std::string> Events() {
        std::lock_guard guard(mutex_);
        return events_;
    }
    std::unique_ptr<CNbxBitmap> Take(const std::string& path) {
        std::lock_guard guard(mutex_);
        return std::move(bitmaps_[path]);
    }

private:
    void Add(const std::string& event) {
        std::lock_guard guard(mutex_);
        events_.push_back(event);
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
    std::map<std::string, std::unique_ptr<CNbxBitmap>> bitmaps_;
};

// A workstation node on a real Apache WebDAV server, with the session log in the test's home.
class ThumbServerTest : public TempHome {
protected:
    void SetUp() override {
        TempHome::SetUp();
        OpenSessionLog(Root() + "/session.log");
        server_ = std::make_unique<WebDavServer>(WebDavServer::Kind::kApache,
                                                 std::vector<std::string>{"share"},
                                                 std::vector<WebDavServer::User>{{"demo", "pw"}});
        ASSERT_TRUE(server_->Started());
        node_ = std::make_unique<CNbxNode>(NodeSettings{.node_type = NodeType::ServiceNode,
                                                        .device_type = DeviceKind::Workstation,
                                                        .nbx_proxy = server_->BaseUrl(),
                                                        .node_name = "share",
                                                        .login = "demo",
                                                        .password = "pw",
                                                        .title_name = "Desk"});
    }
    void TearDown() override {
        server_.reset();
        CloseSessionLog();
        TempHome::TearDown();
    }

    void Put(const std::string& path, const std::string& bytes) {
        std::filesystem::create_directories(
            std::filesystem::path(server_->DataDir() + "/share" + path).parent_path());
        WriteFile(server_->DataDir() + "/share" + path, bytes);
    }
    std::string AccessLog() const { return ReadFile(server_->StateDir() + "/access.log"); }
    std::string Log() const { return ReadFile(Root() + "/session.log"); }

    std::unique_ptr<WebDavServer> server_;
    std::unique_ptr<CNbxNode> node_;
};

}  // namespace nbx::test
