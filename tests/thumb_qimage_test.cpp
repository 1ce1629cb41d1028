// Thumbnails of real pictures, decoded and composed by the window's QImage decoder.
#include <gtest/gtest.h>
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <cstdlib>
#include <map>
#include <string>

#include "monitor/thumb.h"
#include "monitor/thumb_manager.h"
#include "thumb_test_support.h"
#include "widgets/qimage_decoder.h"

using nbx::test::ThumbRecorder;

namespace {

constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kQuadrants[2][2] = {{0xFFFF0000, 0xFF0000FF},   // top: red, blue
                                   {0xFF00FF00, 0xFFFFFF00}};  // bottom: green, yellow

// Four flat quadrants, so that a pixel's colour says where in the picture it came from.
QImage Quadrants(int w, int h) {
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.setPixel(x, y, kQuadrants[y >= h / 2][x >= w / 2]);
        }
    }
    return image;
}

// With a transparent and a half-transparent pixel in its first row.
QImage WithAlpha(QImage image) {
    image.setPixel(0, 0, 0x00000000);
    image.setPixel(1, 0, 0x80FF0000);
    return image;
}

std::string Encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format, 100)) << format;
    return bytes.toStdString();
}

// A 1 × 1 red GIF; Qt reads GIF but cannot write it.
const std::string kRedDotGif(
    "GIF89a\x01\x00\x01\x00\x80\x00\x00\xFF\x00\x00\x00\x00\x00"
    "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3B",
    35);

std::unique_ptr<CNbxBitmap> Decode(CQImageDecoder& decoder, const std::string& bytes) {
    return decoder.Decode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

bool Near(QRgb a, QRgb b, int tolerance) {
    return std::abs(qAlpha(a) - qAlpha(b)) <= tolerance &&
           std::abs(qRed(a) - qRed(b)) <= tolerance &&
           std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

TEST(QImageDecoderTest, ReadsTheFourFormatsAndNothingElse) {
    CQImageDecoder decoder;
    const QImage picture = Quadrants(16, 8);
    struct Case {
        const char* what;
        std::string bytes;
        int w, h;
        int tolerance;  // JPEG is lossy
    };
    const Case pictures[] = {
        {"PNG", Encode(picture, "PNG"), 16, 8, 0},
        {"JPEG", Encode(picture, "JPEG"), 16, 8, 40},
        {"BMP", Encode(picture, "BMP"), 16, 8, 0},
        {"GIF", kRedDotGif, 1, 1, 0},
    };
    for (const Case& c : pictures) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<CNbxBitmap> bitmap = Decode(decoder, c.bytes);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_EQ(bitmap->Width(), c.w);
        EXPECT_EQ(bitmap->Height(), c.h);
        EXPECT_TRUE(Near(bitmap->Pixel(0, 0), kQuadrants[0][0], c.tolerance))
            << std::hex << bitmap->Pixel(0, 0);
        EXPECT_TRUE(
            Near(bitmap->Pixel(c.w - 1, c.h - 1), kQuadrants[c.h > 1][c.w > 1], c.tolerance));
        EXPECT_EQ(bitmap->Pixel(c.w, 0), 0u) << "outside";
    }

    const std::string png = Encode(picture, "PNG");
    const std::string refused[] = {
        "",
        "not a picture",
        png.substr(0, 40),                       // cut short
        "\xFF\xD8\xFF" + std::string(100, 'j'),  // a JPEG signature and nothing of a JPEG
        Encode(picture, "XPM"),                  // Qt reads it, but no server sends it
        Encode(picture, "PPM"),
    };
    for (const std::string& bytes : refused) {
        EXPECT_EQ(Decode(decoder, bytes), nullptr) << bytes.substr(0, 16);
    }
}

class QImageThumbTest : public nbx::test::ThumbServerTest {
protected:
    void SetUp() override {
        ThumbServerTest::SetUp();
        SetImageDecoder(&decoder_);
    }
    void TearDown() override {
        SetImageDecoder(nullptr);
        ThumbServerTest::TearDown();
    }
    CQImageDecoder decoder_;
};

TEST_F(QImageThumbTest, PicturesAreComposedOnTheWhiteSquare) {
    const QImage exact = WithAlpha(Quadrants(96, 96));
    const QImage small = WithAlpha(Quadrants(64, 48));
    const std::string exactJpeg = Encode(Quadrants(96, 96), "JPEG");
    struct Case {
        const char* path;
        std::string bytes;
        int w, h;  // of the picture
        BitmapRect at;
        bool quadrants = true;  // false: the JPEG and the red dot, checked below
        bool alpha = false;     // the first two pixels are WithAlpha's
    };
    const Case cases[] = {
        {"/exact.png", Encode(exact, "PNG"), 96, 96, {0, 0, 96, 96}, true, true},
        {"/exact.jpg", exactJpeg, 96, 96, {0, 0, 96, 96}, false},
        {"/small.png", Encode(small, "PNG"), 64, 48, {16, 24, 64, 48}, true, true},
        {"/small.bmp", Encode(Quadrants(64, 48), "BMP"), 64, 48, {16, 24, 64, 48}},
        {"/wide.png", Encode(Quadrants(120, 80), "PNG"), 120, 80, {0, 8, 96, 80}},
        {"/tall.png", Encode(Quadrants(80, 120), "PNG"), 80, 120, {8, 0, 80, 96}},
        {"/big.png", Encode(Quadrants(200, 150), "PNG"), 200, 150, {0, 0, 96, 96}},
        {"/dot.gif", kRedDotGif, 1, 1, {47, 47, 1, 1}, false},
    };
    CNbxFileThumbManager manager;
    auto recorder = std::make_shared<ThumbRecorder>();
    manager.SetCallback(recorder);
    for (const Case& c : cases) {
        Put(c.path, c.bytes);
        manager.RegisterThumb(std::make_unique<CNbxFileThumb>(*node_, c.path));
    }
    ASSERT_TRUE(manager.Start());
    ASSERT_TRUE(recorder->WaitForFinishes(1));
    ASSERT_EQ(recorder->Events().size(), std::size(cases) + 2) << "every picture arrives";

    std::map<std::string, std::unique_ptr<CNbxBitmap>> thumbs;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        std::unique_ptr<CNbxBitmap>& thumb = thumbs[c.path] = recorder->Take(c.path);
        ASSERT_NE(thumb, nullptr);
        ASSERT_EQ(thumb->Width(), 96);
        ASSERT_EQ(thumb->Height(), 96);
        // Where a direction is scaled, the colours blend where the quadrants meet; where it
        // is not, every row (or column) is the picture's own.
        const bool scaledX = c.at.width != c.w;
        const bool scaledY = c.at.height != c.h;
        const int halfX = c.at.width / 2;
        const int halfY = c.at.height / 2;
        int wrong = 0;
        for (int y = 0; y < 96; ++y) {
            for (int x = 0; x < 96; ++x) {
                const int ox = x - c.at.x;
                const int oy = y - c.at.y;
                const QRgb got = thumb->Pixel(x, y);
                if (ox < 0 || oy < 0 || ox >= c.at.width || oy >= c.at.height) {
                    wrong += got != kWhite;
                } else if (!c.quadrants || (c.alpha && oy == 0 && ox < 2) ||
                           (scaledX && std::abs(ox - halfX) < 2) ||
                           (scaledY && std::abs(oy - halfY) < 2)) {
                    continue;
                } else {
                    wrong += got != kQuadrants[oy >= halfY][ox >= halfX];
                }
            }
        }
        EXPECT_EQ(wrong, 0) << "pixels off the white border or the picture";
    }
    // As delivered, alpha and all; composed over white, transparency becomes white.
    EXPECT_EQ(thumbs["/exact.png"]->Pixel(0, 0), 0x00000000u);
    EXPECT_EQ(thumbs["/exact.png"]->Pixel(1, 0), 0x80FF0000u);
    EXPECT_EQ(thumbs["/small.png"]->Pixel(16, 24), kWhite);
    EXPECT_TRUE(Near(thumbs["/small.png"]->Pixel(17, 24), 0xFFFF7F7F, 2))
        << std::hex << thumbs["/small.png"]->Pixel(17, 24);
    EXPECT_EQ(thumbs["/dot.gif"]->Pixel(47, 47), 0xFFFF0000u);
    std::unique_ptr<CNbxBitmap> jpeg = Decode(decoder_, exactJpeg);
    int changed = 0;
    for (int y = 0; y < 96; ++y) {
        for (int x = 0; x < 96; ++x) {
            changed += thumbs["/exact.jpg"]->Pixel(x, y) != jpeg->Pixel(x, y);
        }
    }
    EXPECT_EQ(changed, 0) << "the JPEG as delivered";
}

}  // namespace
