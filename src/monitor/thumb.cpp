#include "monitor/thumb.h"

#include <algorithm>

#include "base/session_log.h"

std::optional<BitmapRect> ThumbnailPlacement(int width, int height) {
    if (width <= 0 || height <= 0 || (width == kFileThumbSize && height == kFileThumbSize)) {
        return std::nullopt;
    }
    const int w = std::min(width, kFileThumbSize);
    const int h = std::min(height, kFileThumbSize);
    return BitmapRect{
        .x = (kFileThumbSize - w) / 2, .y = (kFileThumbSize - h) / 2, .width = w, .height = h};
}

std::unique_ptr<CNbxBitmap> ComposeThumbnail(std::unique_ptr<CNbxBitmap> picture,
                                             IImageDecoder& decoder) {
    if (picture == nullptr || picture->Width() <= 0 || picture->Height() <= 0) {
        return nullptr;
    }
    const std::optional<BitmapRect> place = ThumbnailPlacement(picture->Width(), picture->Height());
    if (!place) {
        return picture;
    }
    std::unique_ptr<CNbxBitmap> thumb =
        decoder.Compose(*picture, kFileThumbSize, kFileThumbSize, *place);
    if (thumb == nullptr) {
        WriteLog(LogLevel::Error, "ComposeThumbnail(): IImageDecoder::Compose() failed!");
    }
    return thumb;
}

CNbxFileThumb::CNbxFileThumb(const CNbxNode& node, std::string remotePath)
    : node_(node), remotePath_(std::move(remotePath)) {}

CNbxFileThumb::~CNbxFileThumb() = default;

void CNbxFileThumb::Abort() {
    aborted_.store(true);
    service_.Abort();
}

void CNbxFileThumb::Download() {
    if (IsAborted()) {
        return;
    }
    std::unique_ptr<CNbxBitmap> picture = service_._THUMBNAIL(node_, remotePath_);
    IImageDecoder* decoder = GetImageDecoder();
    if (picture == nullptr || decoder == nullptr) {
        return;
    }
    std::unique_ptr<CNbxBitmap> thumb = ComposeThumbnail(std::move(picture), *decoder);
    // An abort that came while the picture was being made still leaves no bitmap.
    if (!IsAborted()) {
        bitmap_ = std::move(thumb);
    }
}
