#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include "nodes/nbx_node.h"
#include "remotefs/ft_service.h"
#include "remotefs/image_decoder.h"

inline constexpr int kFileThumbSize = 96;  // thumbnails are square

// Where a delivered picture of width × height is drawn on the white kFileThumbSize square: at
// its own size, centred (rounding down), with a side longer than the square squeezed to it and
// the other side left as it is. nullopt when the picture is used as delivered (exactly the
// square's size) or has no pixels.
std::optional<BitmapRect> ThumbnailPlacement(int width, int height);

// The thumbnail made from a delivered picture by the rules above; nullptr for a picture of no
// pixels, or when the decoder cannot compose.
std::unique_ptr<CNbxBitmap> ComposeThumbnail(std::unique_ptr<CNbxBitmap> picture,
                                             IImageDecoder& decoder);

// One image file's thumbnail request, from the view to the thumbnail manager. Download runs on
// the manager's engine thread; Abort may come from any thread while it runs, and makes it end
// without a bitmap. Works on its own copy of the node, so it outlives node list changes.
class CNbxFileThumb {
public:
    CNbxFileThumb(const CNbxNode& node, std::string remotePath);
    virtual ~CNbxFileThumb();
    CNbxFileThumb(const CNbxFileThumb&) = delete;
    CNbxFileThumb& operator=(const CNbxFileThumb&) = delete;

    virtual void Abort();
    // Fetches the picture and composes the thumbnail; the bitmap stays null on any failure.
    virtual void Download();
    virtual const CNbxNode& GetNode() const { return node_; }
    virtual const std::string& GetRemotePath() const { return remotePath_; }
    virtual CNbxBitmap* GetBitmap() const { return bitmap_.get(); }

    // Hands the bitmap over, leaving none behind.
    std::unique_ptr<CNbxBitmap> TakeBitmap() { return std::move(bitmap_); }
    bool IsAborted() const { return aborted_.load(); }

private:
    CNbxFileTransferService service_;
    CNbxNode node_;
    std::string remotePath_;
    std::unique_ptr<CNbxBitmap> bitmap_;
    std::atomic<bool> aborted_{false};
};
