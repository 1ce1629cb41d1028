#pragma once

// The image indices of the folder listing: one per file type, the folder and up icons, and the
// thumbnails of pictures keyed by "/node_name/path"; the pictures the engine made are kept so
// that a folder listed again or a new thumbnail size needs no download.

#include <QIcon>
#include <QImage>
#include <map>
#include <optional>
#include <string>

class CTerraPaneView;
class ImageList;

class CFolderIcons {
public:
    explicit CFolderIcons(CTerraPaneView& view);

    // The index of the key, the icon added to every list under it the first time; -1 for a
    // key not yet cached with a null icon.
    int IconIndex(const std::string& key, const QIcon& icon);
    // The same for a picture: stretched in the thumbnail list, the type's icon in the others.
    int AddThumbnail(const QImage& bitmap, const std::string& key, const QIcon& icon);
    std::optional<int> Cached(const std::string& key) const;
    const QImage* KeptBitmap(const std::string& key) const;
    void KeepBitmap(const std::string& key, const QImage& image);
    // The view's lists were emptied: no index holds any more.
    void Forget();
    // Fills the new thumbnail list, one image per index of the current one: icons centred
    // again, pictures of the folder `folderKey` stretched again, pictures of other folders
    // dropped from the cache.
    void Redraw(ImageList& next, const std::string& folderKey);
    // The folder part of a thumbnail key, ending in "/".
    static std::string KeyFolder(const std::string& key);

private:
    friend class ViewTestPeer;

    CTerraPaneView& view_;
    std::map<std::string, int> cache_;      // the image index of each key
    std::map<std::string, QIcon> sources_;  // the icon of each key
    std::map<std::string, QImage> bitmaps_;
};
