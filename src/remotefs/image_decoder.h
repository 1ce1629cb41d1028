#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// A decoded picture. The core hands these on and may read single pixels; scaling and drawing
// are left to the decoder that made it.
class CNbxBitmap {
public:
    virtual ~CNbxBitmap() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // The pixel as 0xAARRGGBB, not premultiplied; 0 outside the picture, and from bitmaps that
    // keep no pixels.
    virtual std::uint32_t Pixel(int /*x*/, int /*y*/) const { return 0; }
};

// A rectangle of pixels: its top-left corner and its size.
struct BitmapRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Decodes image files (JPEG, PNG, GIF, BMP) for thumbnails. The window installs its decoder at
// start-up; without one no thumbnail is made. Decode and Compose may be called from any thread.
class IImageDecoder {
public:
    virtual ~IImageDecoder() = default;
    virtual std::unique_ptr<CNbxBitmap> Decode(const unsigned char* data, std::size_t size) = 0;
    // A canvasWidth × canvasHeight picture of opaque white with the whole of `picture` drawn
    // over it into `target`, smoothly scaled where the sizes differ; nullptr when this decoder
    // cannot compose.
    virtual std::unique_ptr<CNbxBitmap> Compose(const CNbxBitmap& /*picture*/, int /*canvasWidth*/,
                                                int /*canvasHeight*/, BitmapRect /*target*/) {
        return nullptr;
    }
};

void SetImageDecoder(IImageDecoder* decoder);  // not owned; lives as long as the process
IImageDecoder* GetImageDecoder();
