#pragma once

#include <cstddef>
#include <memory>

// A decoded picture. The core only hands these on; the window draws and scales them.
class CNbxBitmap {
public:
    virtual ~CNbxBitmap() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
};

// Decodes image files (JPEG, PNG, GIF, BMP) for thumbnails. The window installs its decoder at
// start-up; without one no thumbnail is made. Decode may be called from any thread.
class IImageDecoder {
public:
    virtual ~IImageDecoder() = default;
    virtual std::unique_ptr<CNbxBitmap> Decode(const unsigned char* data, std::size_t size) = 0;
};

void SetImageDecoder(IImageDecoder* decoder);  // not owned; lives as long as the process
IImageDecoder* GetImageDecoder();
