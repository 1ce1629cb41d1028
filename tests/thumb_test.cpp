// The thumbnail manager: placement on the square, the engine's batches, aborts and stops,
// against a real Apache server and a server that stalls.
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "monitor/thumb.h"
#include "monitor/thumb_manager.h"
#include "platform/event.h"
#include "support/raw_http_server.h"
#include "thumb_test_support.h"

using namespace std::chrono_literals;
using nbx::Event;
using nbx::test::RawHttpServer;
using nbx::test::RawReply;
using nbx::test::ThumbRecorder;
using Events = std::vector<std::string>;

namespace {

// A PNG signature and header of that size, and filler: all the test decoder reads.
std::string FakePng(int width, int height) {
    std::string png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
    for (int v : {width, height}) {
        for (int shift : {24, 16, 8, 0}) {
            png += static_cast<char>((v >> shift) & 0xFF);
        }
    }
    return png + std::string(30000, 'x');
}

struct FakeBitmap : CNbxBitmap {
    FakeBitmap(int w, int h) : w(w), h(h) {}
    int Width() const override { return w; }
    int Height() const override { return h; }
    int w, h;
    bool composed = false;
    BitmapRect target;  // where the picture went, when composed
};

// Reads the size from a FakePng; composes by noting where the picture would go.
class FakeDecoder : public IImageDecoder {
public:
    std::unique_ptr<CNbxBitmap> Decode(const unsigned char* data, std::size_t size) override {
        if (size < 24 || std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) != 0) {
            return nullptr;
        }
        auto be = [&](int at) {
            return data[at] << 24 | data[at + 1] << 16 | data[at + 2] << 8 | data[at + 3];
        };
        return std::make_unique<FakeBitmap>(be(16), be(20));
    }
    std::unique_ptr<CNbxBitmap> Compose(const CNbxBitmap&, int canvasWidth, int canvasHeight,
                                        BitmapRect target) override {
        auto thumb = std::make_unique<FakeBitmap>(canvasWidth, canvasHeight);
        thumb->composed = true;
        thumb->target = target;
        return thumb;
    }
};

TEST(ThumbnailPlacementTest, CentresOnTheSquareAndSqueezesOnlyTheLongSide) {
    struct Case {
        int w, h;
        bool asDelivered;
        BitmapRect at;
    };
    const Case cases[] = {
        {96, 96, true, {}},
        {64, 48, false, {16, 24, 64, 48}},
        {120, 80, false, {0, 8, 96, 80}},
        {80, 120, false, {8, 0, 80, 96}},
        {300, 200, false, {0, 0, 96, 96}},
        {95, 95, false, {0, 0, 95, 95}},  // the half pixel rounds down
        {1, 1, false, {47, 47, 1, 1}},
        {96, 10, false, {0, 43, 96, 10}},
        {0, 50, true, {}},  // no pixels: nothing to place
        {50, -1, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
        const auto place = ThumbnailPlacement(c.w, c.h);
        ASSERT_EQ(place.has_value(), !c.asDelivered);
        if (place) {
            EXPECT_EQ(place->x, c.at.x);
            EXPECT_EQ(place->y, c.at.y);
            EXPECT_EQ(place->width, c.at.width);
            EXPECT_EQ(place->height, c.at.height);
        }
    }
}

TEST(ComposeThumbnailTest, ADecoderThatCannotComposeMakesNoThumbnail) {
    class DecodeOnly : public IImageDecoder {
        std::unique_ptr<CNbxBitmap> Decode(const unsigned char*, std::size_t) override {
            return nullptr;
        }
    } decoder;
    EXPECT_EQ(ComposeThumbnail(std::make_unique<FakeBitmap>(64, 48), decoder), nullptr);
    auto exact = std::make_unique<FakeBitmap>(96, 96);
    CNbxBitmap* raw = exact.get();
    EXPECT_EQ(ComposeThumbnail(std::move(exact), decoder).get(), raw) << "used as delivered";
    EXPECT_EQ(ComposeThumbnail(std::make_unique<FakeBitmap>(0, 0), decoder), nullptr);
}

// A request whose download waits for the test before it starts: a transfer held as long as
// the test needs it. Its Abort is noted but does not release it.
class GatedThumb : public CNbxFileThumb {
public:
    struct Gates {
        Event entered{Event::Reset::Manual};
        Event release{Event::Reset::Manual};
        Event aborted{Event::Reset::Manual};
        Event gone{Event::Reset::Manual};
    };
    GatedThumb(const CNbxNode& node, const std::string& path, std::shared_ptr<Gates> gates)
        : CNbxFileThumb(node, path), gates_(std::move(gates)) {}
    ~GatedThumb() override { gates_->gone.Set(); }
    void Abort() override {
        CNbxFileThumb::Abort();
        gates_->aborted.Set();
    }
    void Download() override {
        gates_->entered.Set();
        gates_->release.Wait(60s);
        CNbxFileThumb::Download();
    }

private:
    std::shared_ptr<Gates> gates_;
};

class ThumbManagerTest : public nbx::test::ThumbServerTest {
protected:
    void SetUp() override {
        ThumbServerTest::SetUp();
        SetImageDecoder(&decoder_);
        manager_.SetCallback(recorder_);
    }
    void TearDown() override {
        manager_.Stop();
        SetImageDecoder(nullptr);
        ThumbServerTest::TearDown();
    }
    void Register(const CNbxNode& node, const std::string& path) {
        manager_.RegisterThumb(std::make_unique<CNbxFileThumb>(node, path));
    }
    // A node like the test's, on the stalling server.
    CNbxNode StalledNode(const RawHttpServer& raw) const {
        CNbxNode node(*node_);
        node.nbx_proxy = raw.BaseUrl();
        return node;
    }
    static bool RequestArrived(const RawHttpServer& raw) {
        for (int i = 0; i < 6000 && raw.Requests().empty(); ++i) {
            std::this_thread::sleep_for(10ms);
        }
        return !raw.Requests().empty();
    }

    FakeDecoder decoder_;
    std::shared_ptr<ThumbRecorder> recorder_ = std::make_shared<ThumbRecorder>();
    CNbxFileThumbManager manager_;
};

TEST_F(ThumbManagerTest, ABatchArrivesInOrderComposedToTheSquare) {
    Put("/Photos/exact.png", FakePng(96, 96));
    Put("/Photos/small.png", FakePng(64, 48));
    Put("/Photos/wide.png", FakePng(120, 80));
    Put("/Photos/notes.png", "not a picture");
    CNbxNode other(*node_);
    other.device_type = DeviceKind::Tablet;

    // Registered before the engine runs, so that all of them make one batch.
    Register(*node_, "/Photos/exact.png");
    Register(*node_, "/Photos/notes.png");
    Register(*node_, "/Photos/small.png");
    Register(*node_, "/Photos/gone.png");
    Register(other, "/Photos/small.png");
    Register(*node_, "/Photos/wide.png");
    ASSERT_TRUE(manager_.Start());
    EXPECT_FALSE(manager_.Start()) << "one engine";
    ASSERT_TRUE(recorder_->WaitForFinishes(1));
    EXPECT_EQ(recorder_->Events(), (Events{"start", "/Photos/exact.png", "/Photos/small.png",
                                           "/Photos/wide.png", "finish"}));

    struct Expect {
        const char* path;
        bool composed;
        BitmapRect at;
    };
    for (const Expect& e : {Expect{"/Photos/exact.png", false, {}},
                            Expect{"/Photos/small.png", true, {16, 24, 64, 48}},
                            Expect{"/Photos/wide.png", true, {0, 8, 96, 80}}}) {
        SCOPED_TRACE(e.path);
        std::unique_ptr<CNbxBitmap> bitmap = recorder_->Take(e.path);
        auto* fake = dynamic_cast<FakeBitmap*>(bitmap.get());
        ASSERT_NE(fake, nullptr);
        EXPECT_EQ(fake->Width(), 96);
        EXPECT_EQ(fake->Height(), 96);
        EXPECT_EQ(fake->composed, e.composed);
        EXPECT_EQ(fake->target.x, e.at.x);
        EXPECT_EQ(fake->target.y, e.at.y);
        EXPECT_EQ(fake->target.width, e.at.width);
        EXPECT_EQ(fake->target.height, e.at.height);
    }
    EXPECT_NE(server_->AccessLogWith("GET /share/Photos/small.png?cx=96&cy=96")
                  .find("GET /share/Photos/small.png?cx=96&cy=96"),
              std::string::npos);
    const std::string record =
        "INFO: CNbxFileThumbManager::NbxFileThumbManagerEngine(): Active thumb pointer = 0x";
    std::size_t records = 0;
    for (auto at = Log().find(record); at != std::string::npos; at = Log().find(record, at + 1)) {
        ++records;
    }
    EXPECT_EQ(records, 6u) << "one per request, the failing ones too";

    // The engine waits for more, and a later registration makes a batch of its own.
    Register(*node_, "/Photos/small.png");
    ASSERT_TRUE(recorder_->WaitForFinishes(2));
    EXPECT_EQ(recorder_->Events().size(), 8u);
}

TEST_F(ThumbManagerTest, NavigatingAwayAbortsTheTransferAndDropsTheRest) {
    RawHttpServer raw({RawReply{.stall = true}});
    Put("/Photos/a.png", FakePng(96, 96));
    Put("/Photos/b.png", FakePng(64, 48));
    manager_.RegisterThumb(std::make_unique<CNbxFileThumb>(StalledNode(raw), "/Photos/big.png"));
    Register(*node_, "/Photos/a.png");
    Register(*node_, "/Photos/b.png");
    ASSERT_TRUE(manager_.Start());
    ASSERT_TRUE(RequestArrived(raw));

    // Without the abort the stalled transfer would hold the engine for a minute.
    manager_.AbortThumbs();
    ASSERT_TRUE(recorder_->WaitForFinishes(1));
    EXPECT_EQ(recorder_->Events(), (Events{"start", "finish"}));
    EXPECT_EQ(AccessLog().find("/Photos/"), std::string::npos) << "the rest were not fetched";

    // The next folder's requests make a batch of their own.
    Register(*node_, "/Photos/b.png");
    ASSERT_TRUE(recorder_->WaitForFinishes(2));
    EXPECT_EQ(recorder_->Events(), (Events{"start", "finish", "start", "/Photos/b.png", "finish"}));
}

TEST_F(ThumbManagerTest, RequestsRegisteredRightAfterAnAbortAreKept) {
    Put("/Photos/old.png", FakePng(96, 96));
    Put("/Photos/queued.png", FakePng(96, 96));
    Put("/Other/new.png", FakePng(64, 48));
    auto gates = std::make_shared<GatedThumb::Gates>();
    manager_.RegisterThumb(std::make_unique<GatedThumb>(*node_, "/Photos/old.png", gates));
    Register(*node_, "/Photos/queued.png");
    ASSERT_TRUE(manager_.Start());
    ASSERT_TRUE(gates->entered.Wait(60s));

    // The view navigates and lists the new folder while the old download still winds down.
    manager_.AbortThumbs();
    EXPECT_TRUE(gates->aborted.IsSet());
    Register(*node_, "/Other/new.png");
    gates->release.Set();
    ASSERT_TRUE(recorder_->WaitForFinishes(2));
    EXPECT_EQ(recorder_->Events(),
              (Events{"start", "finish", "start", "/Other/new.png", "finish"}));
    EXPECT_EQ(AccessLog().find("/Photos/"), std::string::npos);
}

TEST_F(ThumbManagerTest, APictureFinishedAsTheAbortComesIsNotDelivered) {
    // The gate closes after the picture is made: the abort meets a finished download.
    class LateGate : public CNbxFileThumb {
    public:
        LateGate(const CNbxNode& node, std::shared_ptr<GatedThumb::Gates> gates)
            : CNbxFileThumb(node, "/Photos/old.png"), gates_(std::move(gates)) {}
        void Download() override {
            CNbxFileThumb::Download();
            gates_->entered.Set();
            gates_->release.Wait(60s);
        }
        std::shared_ptr<GatedThumb::Gates> gates_;
    };
    Put("/Photos/old.png", FakePng(96, 96));
    auto gates = std::make_shared<GatedThumb::Gates>();
    manager_.RegisterThumb(std::make_unique<LateGate>(*node_, gates));
    ASSERT_TRUE(manager_.Start());
    ASSERT_TRUE(gates->entered.Wait(60s));
    manager_.AbortThumbs();
    gates->release.Set();
    ASSERT_TRUE(recorder_->WaitForFinishes(1));
    EXPECT_EQ(recorder_->Events(), (Events{"start", "finish"}));
}

// The view goes (its receiver is dropped) while a download runs: the bitmap and the batch's end
// reach no one, and nothing of the receiver is touched afterwards (the sanitizers watch).
TEST_F(ThumbManagerTest, AReceiverDroppedWhileTheEngineIsAboutToCallItIsNotCalled) {
    struct Tally {
        std::atomic<int> calls{0};
        std::atomic<bool> destroyed{false};
    };
    struct Counting : IFileThumbManagerCallback {
        explicit Counting(std::shared_ptr<Tally> tally) : tally(std::move(tally)) {}
        ~Counting() override { tally->destroyed = true; }
        void OnFileThumbDownloadStart() override { ++tally->calls; }
        void OnFileThumbDownloadFinish() override { ++tally->calls; }
        void OnFileThumbDownloaded(CNbxFileThumb&) override { ++tally->calls; }
        std::shared_ptr<Tally> tally;
    };
    Put("/a.png", FakePng(96, 96));
    auto tally = std::make_shared<Tally>();
    auto receiver = std::make_shared<Counting>(tally);
    manager_.SetCallback(receiver);
    auto gates = std::make_shared<GatedThumb::Gates>();
    manager_.RegisterThumb(std::make_unique<GatedThumb>(*node_, "/a.png", gates));
    ASSERT_TRUE(manager_.Start());
    ASSERT_TRUE(gates->entered.Wait(60s));
    EXPECT_EQ(tally->calls, 1) << "the batch's start";
    receiver.reset();
    ASSERT_TRUE(tally->destroyed);
    gates->release.Set();
    ASSERT_TRUE(gates->gone.Wait(60s));

    // The next batch's start comes after the end of this one.
    manager_.SetCallback(recorder_);
    Register(*node_, "/a.png");
    ASSERT_TRUE(recorder_->WaitForFinishes(1));
    EXPECT_EQ(recorder_->Events().back(), "finish");
    EXPECT_EQ(tally->calls, 1) << "nothing after the receiver was dropped";
}

TEST_F(ThumbManagerTest, StopWhileIdle) {
    EXPECT_TRUE(manager_.Stop()) << "never started";
    CNbxFileThumbManager manager;
    auto recorder = std::make_shared<ThumbRecorder>();
    manager.SetCallback(recorder);
    ASSERT_TRUE(manager.Start());
    Put("/a.png", FakePng(96, 96));
    manager.RegisterThumb(std::make_unique<CNbxFileThumb>(*node_, "/a.png"));
    ASSERT_TRUE(recorder->WaitForFinishes(1));

    EXPECT_TRUE(manager.Stop());
    EXPECT_FALSE(manager.Start()) << "a stopped manager stays stopped";
    auto gates = std::make_shared<GatedThumb::Gates>();
    manager.RegisterThumb(std::make_unique<GatedThumb>(*node_, "/a.png", gates));
    EXPECT_TRUE(gates->gone.IsSet()) << "refused and deleted at once";
    EXPECT_EQ(recorder->Events(), (Events{"start", "/a.png", "finish"}));
}

TEST_F(ThumbManagerTest, StopWhileDownloadingAbortsAndCallsNoMore) {
    RawHttpServer raw({RawReply{.stall = true}});
    Put("/a.png", FakePng(96, 96));
    manager_.RegisterThumb(std::make_unique<CNbxFileThumb>(StalledNode(raw), "/big.png"));
    Register(*node_, "/a.png");
    ASSERT_TRUE(manager_.Start());
    ASSERT_TRUE(RequestArrived(raw));

    EXPECT_TRUE(manager_.Stop()) << "the aborted transfer lets the engine end";
    EXPECT_EQ(recorder_->Events(), (Events{"start"}));
    EXPECT_EQ(AccessLog().find("/a.png"), std::string::npos);
}

TEST_F(ThumbManagerTest, AnEngineThatDoesNotEndIsLeftRunningWithWhatItUses) {
    Put("/a.png", FakePng(96, 96));
    auto gates = std::make_shared<GatedThumb::Gates>();
    {
        CNbxFileThumbManager manager;
        manager.SetCallback(recorder_);
        manager.RegisterThumb(std::make_unique<GatedThumb>(*node_, "/a.png", gates));
        manager.RegisterThumb(std::make_unique<CNbxFileThumb>(*node_, "/a.png"));
        ASSERT_TRUE(manager.Start());
        ASSERT_TRUE(gates->entered.Wait(60s));
        EXPECT_FALSE(manager.Stop(10ms)) << "the download does not give way to the abort";
        EXPECT_TRUE(gates->aborted.IsSet());
    }
    // The manager is gone; the engine still holds its request, queue and lock.
    EXPECT_FALSE(gates->gone.IsSet());
    gates->release.Set();
    ASSERT_TRUE(gates->gone.Wait(60s));
    EXPECT_EQ(recorder_->Events(), (Events{"start"})) << "no callback after Stop";
    EXPECT_EQ(AccessLog().find("/a.png"), std::string::npos);
}

}  // namespace
