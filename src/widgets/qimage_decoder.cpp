#include "widgets/qimage_decoder.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QPainter>
#include <cstring>
#include <limits>

namespace {

// The reader for the data's signature; nullptr for anything that is not one of the four.
const char* FormatOf(const unsigned char* data, std::size_t size) {
    auto starts = [&](const char* magic, std::size_t n) {
        return size >= n && std::memcmp(data, magic, n) == 0;
    };
    if (starts("\xFF\xD8\xFF", 3)) {
        return "jpeg";
    }
    if (starts("\x89PNG\r\n\x1A\n", 8)) {
        return "png";
    }
    if (starts("GIF87a", 6) || starts("GIF89a", 6)) {
        return "gif";
    }
    if (starts("BM", 2)) {
        return "bmp";
    }
    return nullptr;
}

// A QImage of a bitmap that another decoder made, through its pixels.
QImage CopyPixels(const CNbxBitmap& picture) {
    QImage image(picture.Width(), picture.Height(), QImage::Format_ARGB32);
    if (image.isNull()) {
        return image;
    }
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            line[x] = picture.Pixel(x, y);
        }
    }
    return image;
}

}  // namespace

CQImageBitmap::CQImageBitmap(QImage image) : image_(std::move(image)) {
    if (image_.format() != QImage::Format_ARGB32) {
        image_ = image_.convertToFormat(QImage::Format_ARGB32);
    }
}

std::uint32_t CQImageBitmap::Pixel(int x, int y) const {
    if (!image_.valid(x, y)) {
        return 0;
    }
    return reinterpret_cast<const QRgb*>(image_.constScanLine(y))[x];
}

std::unique_ptr<CNbxBitmap> CQImageDecoder::Decode(const unsigned char* data, std::size_t size) {
    const char* format = FormatOf(data, size);
    if (format == nullptr || size > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        return nullptr;
    }
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        return nullptr;
    }
    auto bitmap = std::make_unique<CQImageBitmap>(std::move(image));
    if (bitmap->Image().isNull()) {
        return nullptr;  // no memory for the conversion
    }
    return bitmap;
}

std::unique_ptr<CNbxBitmap> CQImageDecoder::Compose(const CNbxBitmap& picture, int canvasWidth,
                                                    int canvasHeight, BitmapRect target) {
    if (canvasWidth <= 0 || canvasHeight <= 0 || target.width <= 0 || target.height <= 0) {
        return nullptr;
    }
    const auto* own = dynamic_cast<const CQImageBitmap*>(&picture);
    QImage source = own != nullptr ? own->Image() : CopyPixels(picture);
    if (source.isNull()) {
        return nullptr;
    }
    if (source.width() != target.width || source.height() != target.height) {
        source = source.scaled(target.width, target.height, Qt::IgnoreAspectRatio,
                               Qt::SmoothTransformation);
    }
    QImage canvas(canvasWidth, canvasHeight, QImage::Format_ARGB32_Premultiplied);
    if (canvas.isNull() || source.isNull()) {
        return nullptr;
    }
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        painter.drawImage(QPoint(target.x, target.y), source);
    }
    return std::make_unique<CQImageBitmap>(std::move(canvas));
}
