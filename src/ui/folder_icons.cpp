#include "ui/folder_icons.h"

#include <QPainter>
#include <QPixmap>

#include "ui/terrapane_view.h"

namespace {

constexpr int kExtraLargeIcon = 48;

// Icon-cache keys of files and folders begin with "."; only thumbnails are keyed by paths.
bool IsPathKey(const std::string& key) {
    return !key.empty() && key.front() == '/';
}

// The extra-large icon, centred on a transparent canvas of the thumbnail size.
QPixmap CentredIcon(const QIcon& icon, QSize canvasSize) {
    return ImageList::CentredIcon(icon, QSize(kExtraLargeIcon, kExtraLargeIcon), canvasSize);
}

// The picture stretched to exactly the thumbnail size on white, aspect ratio not kept.
QPixmap StretchedThumbnail(const QImage& image, QSize size) {
    return ImageList::Stretched(image, size);
}

}  // namespace

std::string CFolderIcons::KeyFolder(const std::string& key) {
    return key.substr(0, key.rfind('/') + 1);
}

CFolderIcons::CFolderIcons(CTerraPaneView& view) : view_(view) {}

std::optional<int> CFolderIcons::Cached(const std::string& key) const {
    if (const auto found = cache_.find(key); found != cache_.end()) {
        return found->second;
    }
    return std::nullopt;
}

const QImage* CFolderIcons::KeptBitmap(const std::string& key) const {
    const auto found = bitmaps_.find(key);
    return found != bitmaps_.end() ? &found->second : nullptr;
}

void CFolderIcons::KeepBitmap(const std::string& key, const QImage& image) {
    bitmaps_[key] = image;
}

int CFolderIcons::IconIndex(const std::string& key, const QIcon& icon) {
    if (const auto found = cache_.find(key); found != cache_.end()) {
        return found->second;
    }
    if (icon.isNull()) {
        return -1;
    }
    ViewImages& images = view_.Images();
    images.small.Add(icon.pixmap(images.small.Size()));
    images.large.Add(icon.pixmap(images.large.Size()));
    images.thumbs->Add(CentredIcon(icon, images.thumbs->Size()));
    view_.ApplyImageLists();
    const int index = images.large.Count() - 1;
    cache_[key] = index;
    sources_[key] = icon;
    return index;
}

int CFolderIcons::AddThumbnail(const QImage& bitmap, const std::string& key, const QIcon& icon) {
    if (const auto found = cache_.find(key); found != cache_.end()) {
        return found->second;
    }
    if (bitmap.isNull()) {
        return -1;
    }
    // Every list keeps one image per index, even where the platform has no icon for the type.
    ViewImages& images = view_.Images();
    images.small.Add(icon.isNull() ? QPixmap() : icon.pixmap(images.small.Size()));
    images.large.Add(icon.isNull() ? QPixmap() : icon.pixmap(images.large.Size()));
    images.thumbs->Add(StretchedThumbnail(bitmap, images.thumbs->Size()));
    view_.ApplyImageLists();
    const int index = images.large.Count() - 1;
    cache_[key] = index;
    sources_[key] = icon;
    return index;
}

void CFolderIcons::Forget() {
    cache_.clear();
    sources_.clear();
    bitmaps_.clear();
}

void CFolderIcons::Redraw(ImageList& next, const std::string& folderKey) {
    const QSize size = next.Size();
    QPixmap blank(size);
    blank.fill(Qt::transparent);
    for (int i = 0; i < view_.Images().thumbs->Count(); ++i) {
        next.Add(blank);
    }
    for (auto it = cache_.begin(); it != cache_.end();) {
        const std::string& key = it->first;
        const int index = it->second;
        if (!IsPathKey(key)) {
            if (const auto icon = sources_.find(key); icon != sources_.end()) {
                next.Replace(index, CentredIcon(icon->second, size));
            }
        } else if (KeyFolder(key) != folderKey) {
            sources_.erase(key);
            it = cache_.erase(it);
            continue;
        } else if (const auto bitmap = bitmaps_.find(key); bitmap != bitmaps_.end()) {
            next.Replace(index, StretchedThumbnail(bitmap->second, size));
        }
        ++it;
    }
}
