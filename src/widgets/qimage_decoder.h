#pragma once

#include <QImage>

#include "remotefs/image_decoder.h"

// A picture decoded by QImage, kept as 32-bit ARGB (not premultiplied).
class CQImageBitmap : public CNbxBitmap {
public:
    explicit CQImageBitmap(QImage image);
    int Width() const override { return image_.width(); }
    int Height() const override { return image_.height(); }
    std::uint32_t Pixel(int x, int y) const override;
    const QImage& Image() const { return image_; }

private:
    QImage image_;
};

// The window's image decoder. It reads only JPEG, PNG, GIF (the first frame) and BMP, told
// apart by their signatures, so no other of Qt's readers ever sees data from a server; Qt's
// allocation limit bounds what a picture may claim. Needs no QGuiApplication; any thread.
class CQImageDecoder : public IImageDecoder {
public:
    std::unique_ptr<CNbxBitmap> Decode(const unsigned char* data, std::size_t size) override;
    std::unique_ptr<CNbxBitmap> Compose(const CNbxBitmap& picture, int canvasWidth,
                                        int canvasHeight, BitmapRect target) override;
};
