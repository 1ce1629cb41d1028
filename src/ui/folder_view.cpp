// The folder view: listing a folder of the current node into rows, the icon cache and the image
// lists behind the rows, thumbnails, the folder status bar, and the folder-tree walks that the
// transfers use.
#include <sys/stat.h>

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QMetaObject>
#include <QPainter>
#include <QPixmap>
#include <QSlider>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <utility>

#include "base/session_log.h"
#include "base/strings.h"
#include "monitor/thumb.h"
#include "platform/format.h"
#include "remotefs/fs_interface.h"
#include "remotefs/nbx_file.h"
#include "ui/main_frame.h"
#include "ui/terrapane_view.h"
#include "ui/ui_logic.h"
#include "widgets/dlg_modal.h"  // main_frame.h keeps a QPointer to the About box
#include "widgets/icons.h"
#include "widgets/qimage_decoder.h"
#include "widgets/ui_events.h"

using nbx::StrPrintf;
using nbx::strings::LoadString;

namespace {

constexpr const char* kDirectoryKey = "._D_I_R_E_C_T_O_R_Y_";
constexpr const char* kUpDirectoryKey = "._U_P_D_I_R_E_C_T_O_R_Y_";
constexpr int kMinThumb = 48, kMaxThumb = 96;
constexpr int kExtraLargeIcon = 48;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Icon-cache keys of files and folders begin with "."; only thumbnails are keyed by paths.
bool IsPathKey(const std::string& key) {
    return !key.empty() && key.front() == '/';
}

std::string KeyFolder(const std::string& key) {
    return key.substr(0, key.rfind('/') + 1);
}

std::string Extension(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string WithoutTrailingSlash(std::string path) {
    if (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

// The extra-large icon, centred on a transparent canvas of the thumbnail size.
QPixmap CentredIcon(const QIcon& icon, QSize canvasSize) {
    return ImageList::CentredIcon(icon, QSize(kExtraLargeIcon, kExtraLargeIcon), canvasSize);
}

// The picture stretched to exactly the thumbnail size on white, aspect ratio not kept.
QPixmap StretchedThumbnail(const QImage& image, QSize size) {
    return ImageList::Stretched(image, size);
}

QImage ToQImage(const CNbxBitmap& bitmap) {
    if (const auto* qbitmap = dynamic_cast<const CQImageBitmap*>(&bitmap)) {
        return qbitmap->Image();
    }
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_ARGB32);
    for (int y = 0; y < bitmap.Height(); ++y) {
        for (int x = 0; x < bitmap.Width(); ++x) {
            image.setPixel(x, y, bitmap.Pixel(x, y));
        }
    }
    return image;
}

// What the list shows now, as a view style; Large Icons and Icons share the icons style.
int StyleOfList(SListView::Style style, int remembered) {
    switch (style) {
        case SListView::Style::kIcons:
            return remembered == CTerraPaneView::kLargeIcons ? CTerraPaneView::kLargeIcons
                                                             : CTerraPaneView::kIcons;
        case SListView::Style::kSmallIcons:
            return CTerraPaneView::kSmallIcons;
        case SListView::Style::kList:
            return CTerraPaneView::kListStyle;
        case SListView::Style::kDetails:
            return CTerraPaneView::kDetails;
    }
    return remembered;
}

class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

std::function<bool(const CMainFrame* frame)> CTerraPaneView::isFrameInFront =
    [](const CMainFrame* frame) {
        return frame != nullptr && QApplication::activeWindow() == frame;
    };

// Marks the view as waiting for a listing for the guard's lifetime.
struct CTerraPaneView::ListingGuard {
    explicit ListingGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~ListingGuard() { flag_ = false; }
    ListingGuard(const ListingGuard&) = delete;
    ListingGuard& operator=(const ListingGuard&) = delete;
    bool& flag_;
};

// ---- thumbnails arriving from the engine thread ---------------------------------------------

// Runs on the thumbnail engine's thread. It only hands its results to the ui thread, where the
// view, if it still exists, takes them; it never touches the view itself.
class CTerraPaneView::ThumbCallbackImpl : public IFileThumbManagerCallback {
public:
    explicit ThumbCallbackImpl(CTerraPaneView* view) : view_(view) {}

    void OnFileThumbDownloadStart() override {
        WriteLog(LogLevel::Info, "CTerraPaneView::OnFileThumbDownloadStart() callback invoked...");
        Post([](CTerraPaneView& view) { view.OnThumbBatch(true); });
    }
    void OnFileThumbDownloadFinish() override {
        WriteLog(LogLevel::Info, "CTerraPaneView::OnFileThumbDownloadFinish() callback invoked...");
        Post([](CTerraPaneView& view) { view.OnThumbBatch(false); });
    }
    void OnFileThumbDownloaded(CNbxFileThumb& thumb) override {
        std::unique_ptr<CNbxBitmap> bitmap = thumb.TakeBitmap();
        if (bitmap == nullptr) {
            return;
        }
        QImage image = ToQImage(*bitmap);
        const std::string& path = thumb.GetRemotePath();
        const std::string& nodeName = thumb.GetNode().node_name;
        std::string key = nodeName.empty() ? path : "/" + nodeName + path;
        std::string name = path.substr(path.rfind('/') + 1);
        Post([key = std::move(key), name = std::move(name), image = std::move(image)](
                 CTerraPaneView& view) { view.ApplyThumbnail(key, name, image); });
    }

private:
    void Post(std::function<void(CTerraPaneView&)> work) {
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr) {
            return;
        }
        // The copy of the guarded pointer is taken here; it is only read on the ui thread.
        QMetaObject::invokeMethod(
            app,
            [view = view_, work = std::move(work)] {
                if (!view.isNull()) {
                    work(*view);
                }
            },
            Qt::QueuedConnection);
    }

    const QPointer<CTerraPaneView> view_;
};

std::shared_ptr<IFileThumbManagerCallback> CTerraPaneView::ThumbCallback() {
    if (thumbCallback_ == nullptr) {
        thumbCallback_ = std::make_shared<ThumbCallbackImpl>(this);
    }
    return thumbCallback_;
}

void CTerraPaneView::OnThumbBatch(bool started) {
    thumbsBusy_ = started;
    nbx::ui::PostMessage(
        this, started ? nbx::ui::WM_THUMB_DOWNLOAD_START : nbx::ui::WM_THUMB_DOWNLOAD_FINISH);
}

void CTerraPaneView::ApplyThumbnail(const std::string& key, const std::string& name,
                                    const QImage& image) {
    thumbBitmaps_[key] = image;
    // A picture of a folder left meanwhile is kept for later, but changes no row of this one.
    if (frame_->GetViewMode() != CMainFrame::kModeFolder || KeyFolder(key) != ThumbFolderKey()) {
        return;
    }
    const int index = AddThumbnailImage(image, key, nbx::ui::FileIconForName(Q(name)));
    const QString text = Q(name);
    for (int row = 0; row < RowCount(); ++row) {
        const ViewItem* item = Item(row);
        if (item != nullptr && item->kind == ViewItem::kFile && Text(row) == text) {
            SetImage(row, index);
            break;
        }
    }
    UpdateImages();
    UpdateStatusBar();
}

std::string CTerraPaneView::ThumbFolderKey() const {
    const CNbxNode* node = frame_->CurrentNode();
    if (node == nullptr || node->node_name.empty()) {
        return currentPath_;
    }
    return "/" + node->node_name + currentPath_;
}

// ---- icons ----------------------------------------------------------------------------------

int CTerraPaneView::GetIconIndex(const std::string& key, const QIcon& icon) {
    if (const auto found = iconCache_.find(key); found != iconCache_.end()) {
        return found->second;
    }
    if (icon.isNull()) {
        return -1;
    }
    small_.Add(icon.pixmap(small_.Size()));
    large_.Add(icon.pixmap(large_.Size()));
    thumbs_->Add(CentredIcon(icon, thumbs_->Size()));
    SetImageLists(&small_, viewStyle_ == kLargeIcons ? thumbs_ : &large_);
    const int index = large_.Count() - 1;
    iconCache_[key] = index;
    iconSources_[key] = icon;
    return index;
}

int CTerraPaneView::AddThumbnailImage(const QImage& bitmap, const std::string& key,
                                      const QIcon& icon) {
    if (const auto found = iconCache_.find(key); found != iconCache_.end()) {
        return found->second;
    }
    if (bitmap.isNull()) {
        return -1;
    }
    // Every list keeps one image per index, even where the platform has no icon for the type.
    small_.Add(icon.isNull() ? QPixmap() : icon.pixmap(small_.Size()));
    large_.Add(icon.isNull() ? QPixmap() : icon.pixmap(large_.Size()));
    thumbs_->Add(StretchedThumbnail(bitmap, thumbs_->Size()));
    SetImageLists(&small_, viewStyle_ == kLargeIcons ? thumbs_ : &large_);
    const int index = large_.Count() - 1;
    iconCache_[key] = index;
    iconSources_[key] = icon;
    return index;
}

void CTerraPaneView::ResetImageLists() {
    small_.RemoveAll();
    large_.RemoveAll();
    thumbs_->RemoveAll();
    iconCache_.clear();
    iconSources_.clear();
    thumbBitmaps_.clear();
    UpdateImages();
}

int CTerraPaneView::FolderIconIndex() {
    return GetIconIndex(kDirectoryKey, nbx::ui::FolderIcon());
}

void CTerraPaneView::SetThumbnailSize(int width, int height) {
    if (frame_->GetViewMode() != CMainFrame::kModeFolder) {
        return;
    }
    if (width < kMinThumb || width > kMaxThumb || height < kMinThumb || height > kMaxThumb) {
        return;
    }
    if (width == thumbWidth_ && height == thumbHeight_) {
        return;
    }
    thumbWidth_ = width;
    thumbHeight_ = height;
    if (CNbxNode* node = frame_->CurrentNode()) {
        node->thumbnail_width = width;
        node->thumbnail_height = height;
        node->viewModified = true;
    }
    const QSize size(width, height);
    ImageList* old = thumbs_;
    ImageList* next = old == &thumbsA_ ? &thumbsB_ : &thumbsA_;
    *next = ImageList(size);
    QPixmap blank(size);
    blank.fill(Qt::transparent);
    for (int i = 0; i < old->Count(); ++i) {
        next->Add(blank);
    }
    const std::string folderKey = ThumbFolderKey();
    for (auto it = iconCache_.begin(); it != iconCache_.end();) {
        const std::string& key = it->first;
        const int index = it->second;
        if (!IsPathKey(key)) {
            if (const auto icon = iconSources_.find(key); icon != iconSources_.end()) {
                next->Replace(index, CentredIcon(icon->second, size));
            }
        } else if (KeyFolder(key) != folderKey) {
            iconSources_.erase(key);
            it = iconCache_.erase(it);
            continue;
        } else if (const auto bitmap = thumbBitmaps_.find(key); bitmap != thumbBitmaps_.end()) {
            next->Replace(index, StretchedThumbnail(bitmap->second, size));
        }
        ++it;
    }
    thumbs_ = next;
    SetImageLists(&small_, viewStyle_ == kLargeIcons ? thumbs_ : &large_);
    old->RemoveAll();
    UpdateImages();
}

// ---- listing --------------------------------------------------------------------------------

void CTerraPaneView::InstallListingWaitHook() {
    // The window stays alive while a listing waits, but takes no input: a click or a key must
    // not start another command of this view in the middle of one.
    frame_->FileSystem().SetWaitHook(
        [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
}

int CTerraPaneView::AddFolderRow(const std::string& name, int image, int kind, std::uint64_t size) {
    return InsertItemRow(-1, Q(name), image, ViewItem{.kind = kind, .size = size, .name = name});
}

int CTerraPaneView::Navigate(const std::string& path) {
    CNbxNode* node = frame_->CurrentNode();
    if (node == nullptr) {
        WriteLog(LogLevel::Error, "CTerraPaneView::Navigate(): current node == NULL!");
        return FsResult::kLocalFailure;
    }
    if (listing_) {
        // Asked for from inside a listing's wait (a refresh sent by the engine): listed as soon
        // as the running listing is done, instead of being refused.
        WriteLog(LogLevel::Warning,
                 StrPrintf("CTerraPaneView::Navigate(): listing in progress, \"%s\" deferred",
                           path.c_str()));
        relistPath_ = path;
        return FsResult::kOk;
    }
    const BusyCursor busy;
    const bool disk = node->device_type == DeviceKind::Disk;
    const std::string selfPath =
        disk ? path : StrPrintf("/%s%s", node->node_name.c_str(), path.c_str());
    CNbxFileSystemService& fileSystem = frame_->FileSystem();
    InstallListingWaitHook();
    int result;
    {
        const ListingGuard guard(listing_);
        result = fileSystem._LIST(*node, path);
    }
    if (relistPath_) {
        QMetaObject::invokeMethod(
            this,
            [this, again = *relistPath_] {
                if (frame_->GetViewMode() == CMainFrame::kModeFolder) {
                    frame_->SetLocation(again);
                    frame_->RefreshLocation();
                }
            },
            Qt::QueuedConnection);
        relistPath_.reset();
    }
    if (result != FsResult::kOk) {
        return result;
    }

    ready_ = false;
    if (frame_->GetViewMode() != CMainFrame::kModeFolder) {
        DeleteAllColumns();
        InsertColumn(0, Q(LoadString(604)), 250, Qt::AlignLeft);
        InsertColumn(1, Q(LoadString(605)), 100, Qt::AlignRight);
        InsertColumn(2, Q(LoadString(606)), 120, Qt::AlignLeft);
        InsertColumn(3, Q(LoadString(607)), 120, Qt::AlignLeft);
        ResetImageLists();
        GetIconIndex(kUpDirectoryKey, nbx::ui::UpFolderIcon());
    }
    frame_->SetViewMode(CMainFrame::kModeFolder);
    currentPath_ = path;
    DeleteAllRows();
    SetGroupsEnabled(false);

    const CNbxFile* entry = fileSystem.GetFirst();
    if (entry == nullptr) {
        WriteLog(LogLevel::Warning, "CTerraPaneView::Navigate(): nbxFile == NULL!");
        ready_ = true;
        UpdateStatusBar();
        return FsResult::kOk;
    }

    SetRedraw(false);
    const int remembered = StyleOfList(GetStyle(), viewStyle_);
    SetViewStyle(kDetails);
    const std::string selfKey = WithoutTrailingSlash(selfPath);
    const std::string folderKey = ThumbFolderKey();
    for (; entry != nullptr; entry = fileSystem.GetNext()) {
        if (WithoutTrailingSlash(entry->name) == selfKey) {
            const std::string up = LoadString(600);
            InsertItemRow(0, Q(up), GetIconIndex(kUpDirectoryKey, nbx::ui::UpFolderIcon()),
                          ViewItem{.kind = ViewItem::kUp, .size = 0, .name = up});
            continue;
        }
        const std::string full = WithoutTrailingSlash(entry->name);
        const std::string name = full.substr(full.rfind('/') + 1);
        if (name.empty() || !nbx::ui::IsListedEntry(*node, currentPath_, name)) {
            continue;
        }
        if (entry->isFolder) {
            const int row = AddFolderRow(name, FolderIconIndex(), ViewItem::kFolder, 0);
            SetText(row, 2, Q(LoadString(601)));
            SetText(row, 3, Q(entry->modifiedTime));
            continue;
        }
        const QString qname = Q(name);
        const QIcon icon = nbx::ui::FileIconForName(qname);
        int image = GetIconIndex(Extension(name), icon);
        if (nbx::ui::WantsThumbnail(*node, name)) {
            const std::string key = folderKey + name;
            if (const auto cached = iconCache_.find(key); cached != iconCache_.end()) {
                image = cached->second;
            } else if (const auto kept = thumbBitmaps_.find(key); kept != thumbBitmaps_.end()) {
                image = AddThumbnailImage(kept->second, key, icon);
            } else {
                frame_->ThumbManager().RegisterThumb(
                    std::make_unique<CNbxFileThumb>(*node, currentPath_ + name));
            }
        }
        const int row = AddFolderRow(name, image, ViewItem::kFile, entry->size);
        SetText(row, 1, Q(nbx::ui::SizeColumnText(entry->size)));
        SetText(row, 2,
                Q(nbx::ui::TypeName(name, nbx::ui::FileTypeNameForName(qname).toStdString())));
        SetText(row, 3, Q(entry->modifiedTime));
    }

    const SortOrder order = DecodeSortStyle(node->sort_style);
    SortBy(order.column, order.descending ? 1 : -1);
    SetViewStyle(remembered);
    SetImageLists(&small_, viewStyle_ == kLargeIcons ? thumbs_ : &large_);
    SetRedraw(true);
    ready_ = true;
    UpdateStatusBar();
    return FsResult::kOk;
}

void CTerraPaneView::UpdateStatusBarInfoFolderView() {
    std::vector<nbx::ui::FolderRowInfo> rows;
    rows.reserve(static_cast<std::size_t>(RowCount()));
    for (int row = 0; row < RowCount(); ++row) {
        const ViewItem* item = Item(row);
        nbx::ui::FolderRowInfo info;
        if (item != nullptr) {
            info.kind = item->kind;
            info.size = item->size;
        }
        info.typeText = Text(row, 2).toStdString();
        info.dateText = Text(row, 3).toStdString();
        rows.push_back(std::move(info));
    }
    const nbx::ui::StatusTexts texts = nbx::ui::FolderStatusTexts(rows, SelectedRows());
    frame_->SetStatusText(0, Q(texts.part0));
    frame_->SetStatusText(1, Q(texts.part1));
}

// ---- folder trees for transfers -------------------------------------------------------------

namespace {

using Visited = std::set<std::pair<dev_t, ino_t>>;

int WalkLocalDir(std::vector<std::string>& folders, std::vector<std::string>& files,
                 const std::string& folder, bool recursive, Visited& visited) {
    namespace fs = std::filesystem;
    folders.push_back(folder);
    // A link that leads back up the tree would be walked for ever: each folder once.
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0 && !visited.emplace(info.st_dev, info.st_ino).second) {
        return 0;
    }
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CTerraPaneView::ListLocalDir(): FindFirstFile() failed with arg: "
                           "\"%s\"!",
                           (folder + "/*.*").c_str()));
        // Unlike the end of an empty folder, this loses its whole content: the caller is told.
        return error.value() != 0 ? error.value() : EIO;
    }
    std::vector<std::string> subfolders;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.') {
            continue;
        }
        const std::string path = StrPrintf("%s/%s", folder.c_str(), name.c_str());
        std::error_code kindError;
        if (it->is_directory(kindError)) {
            subfolders.push_back(path);
        } else {
            files.push_back(path);
        }
    }
    if (error) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CTerraPaneView::ListLocalDir(): GetLastError returned: \"%X\"",
                           static_cast<unsigned>(error.value())));
        return error.value();
    }
    if (!recursive) {
        return 0;
    }
    for (const std::string& subfolder : subfolders) {
        if (const int result = WalkLocalDir(folders, files, subfolder, true, visited)) {
            return result;
        }
    }
    return 0;
}

}  // namespace

int CTerraPaneView::ListLocalDir(std::vector<std::string>& folders, std::vector<std::string>& files,
                                 const std::string& folder, bool recursive) {
    Visited visited;
    return WalkLocalDir(folders, files, folder, recursive, visited);
}

int CTerraPaneView::ListRemoteDir(std::vector<std::string>& folders,
                                  std::vector<std::string>& files,
                                  std::vector<std::uint64_t>& sizes, const std::string& folder,
                                  const std::string& base, bool recursive) {
    std::size_t walked = 0;
    return WalkRemoteDir(folders, files, sizes, folder, base, recursive, 0, walked);
}

int CTerraPaneView::WalkRemoteDir(std::vector<std::string>& folders,
                                  std::vector<std::string>& files,
                                  std::vector<std::uint64_t>& sizes, const std::string& folderIn,
                                  const std::string& base, bool recursive, int depth,
                                  std::size_t& walked) {
    const CNbxNode* node = frame_->CurrentNode();
    std::string folder = folderIn;
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    // A server whose folders lead into themselves would be walked without end.
    if (depth > kMaxRemoteTreeDepth || ++walked > kMaxRemoteTreeFolders) {
        WriteLog(
            LogLevel::Error,
            StrPrintf("CTerraPaneView::ListRemoteDir(): the folder tree is deeper than %d "
                      "levels or holds more than %zu folders with arg: \"%s%s\"",
                      kMaxRemoteTreeDepth, kMaxRemoteTreeFolders, base.c_str(), folder.c_str()));
        return FsResult::kLocalFailure;
    }
    folders.push_back(folder);
    if (node == nullptr || listing_) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CTerraPaneView::ListRemoteDir(): CNbxFileSystemService::_LIST() "
                           "failed with arg: \"%s%s\"",
                           base.c_str(), folder.c_str()));
        return FsResult::kLocalFailure;
    }
    CNbxFileSystemService& fileSystem = frame_->FileSystem();
    InstallListingWaitHook();
    int result;
    {
        const BusyCursor busy;
        const ListingGuard guard(listing_);
        result = fileSystem._LIST(*node, base + folder);
    }
    if (result != FsResult::kOk) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CTerraPaneView::ListRemoteDir(): CNbxFileSystemService::_LIST() "
                           "failed with arg: \"%s%s\"",
                           base.c_str(), folder.c_str()));
        return result;
    }
    if (fileSystem.LeftOutCount() > 0) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CTerraPaneView::ListRemoteDir(): the server listed a name that "
                           "cannot be a local file name with arg: \"%s%s\"",
                           base.c_str(), folder.c_str()));
        return FsResult::kLocalFailure;
    }
    const std::string prefix = (node->node_name.empty() ? "" : "/" + node->node_name) + base;
    std::vector<std::string> subfolders;
    for (const CNbxFile* entry = fileSystem.GetFirst(); entry != nullptr;
         entry = fileSystem.GetNext()) {
        // Only what lies in the listed folder; an answer naming anything else is ignored.
        if (entry->name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        std::string relative = entry->name.substr(prefix.size());
        if (relative.compare(0, folder.size(), folder) != 0) {
            continue;
        }
        std::string child = relative.substr(folder.size());
        if (!child.empty() && child.back() == '/') {
            child.pop_back();
        }
        if (child.empty() && relative.size() <= folder.size()) {
            continue;  // the listed folder itself
        }
        // Each child becomes a local path below the drop target: a name that is no single
        // segment of one would lead elsewhere, so the whole tree is refused.
        if (!IsSafeChildName(child)) {
            WriteLog(LogLevel::Error,
                     StrPrintf("CTerraPaneView::ListRemoteDir(): the server listed a name that "
                               "cannot be a local file name with arg: \"%s\"",
                               entry->name.c_str()));
            return FsResult::kLocalFailure;
        }
        if (entry->isFolder) {
            subfolders.push_back(folder + child + "/");
        } else {
            files.push_back(folder + child);
            sizes.push_back(entry->size);
        }
    }
    if (!recursive) {
        return FsResult::kOk;
    }
    for (const std::string& subfolder : subfolders) {
        result = WalkRemoteDir(folders, files, sizes, subfolder, base, true, depth + 1, walked);
        if (result != FsResult::kOk) {
            return result;
        }
    }
    return FsResult::kOk;
}
