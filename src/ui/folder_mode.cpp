// Listing a folder of the current node into rows, the icon cache and the image lists behind
// the rows, thumbnails and the folder status bar.
#include "ui/folder_mode.h"

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QMetaObject>
#include <QPixmap>
#include <utility>

#include "base/session_log.h"
#include "base/strings.h"
#include "monitor/thumb.h"
#include "platform/format.h"
#include "remotefs/fs_interface.h"
#include "remotefs/fs_service.h"
#include "remotefs/nbx_file.h"
#include "ui/explorer_frame.h"
#include "ui/ui_logic.h"
#include "widgets/icons.h"

using nbx::StrPrintf;
using nbx::strings::LoadString;
using nbx::ui::IExplorerFrame;
using nbx::ui::RowKind;

namespace {

constexpr const char* kDirectoryKey = "._D_I_R_E_C_T_O_R_Y_";
constexpr const char* kUpDirectoryKey = "._U_P_D_I_R_E_C_T_O_R_Y_";
constexpr int kMinThumb = 48, kMaxThumb = 96;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
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

// The node's view_style value for each view style (-1 .. 3).
int StoredViewStyle(int style) {
    switch (style) {
        case CTerraPaneView::kLargeIcons:
            return 4;
        case CTerraPaneView::kDetails:
            return 3;
        case CTerraPaneView::kSmallIcons:
            return 1;
        case CTerraPaneView::kListStyle:
            return 2;
        default:
            return 0;
    }
}

}  // namespace

CFolderMode::CFolderMode(CTerraPaneView& view) : view_(view), icons_(view), reupload_(*this) {}

IExplorerFrame& CFolderMode::Frame() const {
    return view_.Frame();
}

// ---- thumbnails -----------------------------------------------------------------------------

void CFolderMode::ApplyThumbnail(const std::string& key, const std::string& name,
                                 const QImage& image) {
    icons_.KeepBitmap(key, image);
    // A picture of a folder left meanwhile is kept for later, but changes no row of this one.
    if (Frame().GetViewMode() != IExplorerFrame::kModeFolder ||
        CFolderIcons::KeyFolder(key) != ThumbFolderKey()) {
        return;
    }
    const int index = icons_.AddThumbnail(image, key, nbx::ui::FileIconForName(Q(name)));
    const QString text = Q(name);
    for (int row = 0; row < view_.RowCount(); ++row) {
        const ViewItem* item = view_.Item(row);
        if (item != nullptr && item->kind == RowKind::kFile && view_.Text(row) == text) {
            view_.SetImage(row, index);
            break;
        }
    }
    view_.UpdateImages();
    view_.UpdateStatusBar();
}

std::string CFolderMode::ThumbFolderKey() const {
    const CNbxNode* node = Frame().CurrentNode();
    if (node == nullptr || node->node_name.empty()) {
        return view_.CurrentPath();
    }
    return "/" + node->node_name + view_.CurrentPath();
}

// ---- icons ----------------------------------------------------------------------------------

int CFolderMode::FolderIconIndex() {
    return icons_.IconIndex(kDirectoryKey, nbx::ui::FolderIcon());
}

void CFolderMode::SetThumbnailSize(int width, int height) {
    if (Frame().GetViewMode() != IExplorerFrame::kModeFolder) {
        return;
    }
    if (width < kMinThumb || width > kMaxThumb || height < kMinThumb || height > kMaxThumb) {
        return;
    }
    ViewImages& images = view_.Images();
    if (width == images.thumbWidth && height == images.thumbHeight) {
        return;
    }
    images.thumbWidth = width;
    images.thumbHeight = height;
    if (CNbxNode* node = Frame().CurrentNode()) {
        node->thumbnail_width = width;
        node->thumbnail_height = height;
        node->viewModified = true;
    }
    ImageList* old = images.thumbs;
    ImageList* next = old == &images.thumbsA ? &images.thumbsB : &images.thumbsA;
    *next = ImageList(QSize(width, height));
    icons_.Redraw(*next, ThumbFolderKey());
    images.thumbs = next;
    view_.ApplyImageLists();
    old->RemoveAll();
    view_.UpdateImages();
}

// ---- listing --------------------------------------------------------------------------------

void CFolderMode::InstallListingWaitHook() {
    // The window stays alive while a listing waits, but takes no input: a click or a key must
    // not start another command of this view in the middle of one.
    Frame().FileSystem().SetWaitHook(
        [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
}

int CFolderMode::AddFolderRow(const std::string& name, int image, RowKind kind,
                              std::uint64_t size) {
    return view_.InsertItemRow(-1, Q(name), image,
                               ViewItem{.kind = kind, .size = size, .name = name});
}

int CFolderMode::Navigate(const std::string& path) {
    CNbxNode* node = Frame().CurrentNode();
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
    if (const int result = ListFolder(*node, path); result != FsResult::kOk) {
        return result;
    }

    view_.SetReady(false);
    EnterMode();
    view_.SetCurrentPath(path);
    view_.DeleteAllRows();
    view_.SetGroupsEnabled(false);
    if (Frame().FileSystem().GetFirst() == nullptr) {
        WriteLog(LogLevel::Warning, "CTerraPaneView::Navigate(): nbxFile == NULL!");
    } else {
        const bool disk = node->device_type == DeviceKind::Disk;
        FillRows(*node, disk ? path : StrPrintf("/%s%s", node->node_name.c_str(), path.c_str()));
    }
    view_.SetReady(true);
    view_.UpdateStatusBar();
    return FsResult::kOk;
}

// The listing itself; a listing deferred meanwhile is started once this one is done.
int CFolderMode::ListFolder(CNbxNode& node, const std::string& path) {
    InstallListingWaitHook();
    int result;
    {
        const ListingGuard guard(listing_);
        result = Frame().FileSystem()._LIST(node, path);
    }
    RelistDeferred();
    return result;
}

void CFolderMode::RelistDeferred() {
    if (!relistPath_) {
        return;
    }
    QMetaObject::invokeMethod(
        &view_,
        [this, again = *relistPath_] {
            if (Frame().GetViewMode() == IExplorerFrame::kModeFolder) {
                Frame().SetLocation(again);
                Frame().RefreshLocation();
            }
        },
        Qt::QueuedConnection);
    relistPath_.reset();
}

// Columns and images of the folder listing, when the view comes from the node list.
void CFolderMode::EnterMode() {
    if (Frame().GetViewMode() != IExplorerFrame::kModeFolder) {
        view_.DeleteAllColumns();
        view_.InsertColumn(0, Q(LoadString(nbx::strings::kColumnFileName)), 250, Qt::AlignLeft);
        view_.InsertColumn(1, Q(LoadString(nbx::strings::kColumnSize)), 100, Qt::AlignRight);
        view_.InsertColumn(2, Q(LoadString(nbx::strings::kColumnType)), 120, Qt::AlignLeft);
        view_.InsertColumn(3, Q(LoadString(nbx::strings::kColumnDateCreated)), 120, Qt::AlignLeft);
        view_.ResetImageLists();
        icons_.IconIndex(kUpDirectoryKey, nbx::ui::UpFolderIcon());
    }
    Frame().SetViewMode(IExplorerFrame::kModeFolder);
}

// The rows of the listed entries; `selfPath` is the listed folder as the answer names it.
void CFolderMode::FillRows(const CNbxNode& node, const std::string& selfPath) {
    CNbxFileSystemService& fileSystem = Frame().FileSystem();
    view_.SetRedraw(false);
    const int remembered = StyleOfList(view_.GetStyle(), view_.ViewStyle());
    view_.SetViewStyle(CTerraPaneView::kDetails);
    const std::string selfKey = WithoutTrailingSlash(selfPath);
    const std::string folderKey = ThumbFolderKey();
    for (const CNbxFile* entry = fileSystem.GetFirst(); entry != nullptr;
         entry = fileSystem.GetNext()) {
        if (WithoutTrailingSlash(entry->name) == selfKey) {
            const std::string up = LoadString(nbx::strings::kUpEntry);
            view_.InsertItemRow(0, Q(up),
                                icons_.IconIndex(kUpDirectoryKey, nbx::ui::UpFolderIcon()),
                                ViewItem{.kind = RowKind::kUp, .size = 0, .name = up});
        } else {
            AddEntryRow(node, *entry, folderKey);
        }
    }
    const SortOrder order = DecodeSortStyle(node.sort_style);
    view_.SortBy(order.column, order.descending ? 1 : -1);
    view_.SetViewStyle(remembered);
    view_.ApplyImageLists();
    view_.SetRedraw(true);
}

void CFolderMode::AddEntryRow(const CNbxNode& node, const CNbxFile& entry,
                              const std::string& folderKey) {
    const std::string full = WithoutTrailingSlash(entry.name);
    const std::string name = full.substr(full.rfind('/') + 1);
    if (name.empty() || !nbx::ui::IsListedEntry(node, view_.CurrentPath(), name)) {
        return;
    }
    if (entry.isFolder) {
        const int row = AddFolderRow(name, FolderIconIndex(), RowKind::kFolder, 0);
        view_.SetText(row, 2, Q(LoadString(nbx::strings::kTypeFileFolder)));
        view_.SetText(row, 3, Q(entry.modifiedTime));
        return;
    }
    const QIcon icon = nbx::ui::FileIconForName(Q(name));
    int image = icons_.IconIndex(Extension(name), icon);
    if (nbx::ui::WantsThumbnail(node, name)) {
        const std::string key = folderKey + name;
        if (const std::optional<int> cached = icons_.Cached(key)) {
            image = *cached;
        } else if (const QImage* kept = icons_.KeptBitmap(key)) {
            image = icons_.AddThumbnail(*kept, key, icon);
        } else {
            Frame().ThumbManager().RegisterThumb(
                std::make_unique<CNbxFileThumb>(node, view_.CurrentPath() + name));
        }
    }
    const int row = AddFolderRow(name, image, RowKind::kFile, entry.size);
    view_.SetText(row, 1, Q(nbx::ui::SizeColumnText(entry.size)));
    view_.SetText(row, 2,
                  Q(nbx::ui::TypeName(name, nbx::ui::FileTypeNameForName(Q(name)).toStdString())));
    view_.SetText(row, 3, Q(entry.modifiedTime));
}

void CFolderMode::SortBy(int column, int order) {
    view_.SortByColumn(order, column, nbx::ui::FolderColumnRule(column));
    if (CNbxNode* node = Frame().CurrentNode()) {
        node->sort_style =
            EncodeSortStyle({.column = column, .descending = !view_.SortAscending()});
        node->viewModified = true;
    }
    view_.MoveKindToTop(RowKind::kUp);
}

void CFolderMode::RememberViewStyle(int style) {
    if (CNbxNode* node = Frame().CurrentNode()) {
        node->view_style = StoredViewStyle(style);
        node->viewModified = true;
    }
}

void CFolderMode::UpdateStatusBar() {
    std::vector<nbx::ui::FolderRowInfo> rows;
    rows.reserve(static_cast<std::size_t>(view_.RowCount()));
    for (int row = 0; row < view_.RowCount(); ++row) {
        const ViewItem* item = view_.Item(row);
        nbx::ui::FolderRowInfo info;
        if (item != nullptr) {
            info.kind = item->kind;
            info.size = item->size;
        }
        info.typeText = view_.Text(row, 2).toStdString();
        info.dateText = view_.Text(row, 3).toStdString();
        rows.push_back(std::move(info));
    }
    const nbx::ui::StatusTexts texts = nbx::ui::FolderStatusTexts(rows, view_.SelectedRows());
    Frame().SetStatusText(0, Q(texts.part0));
    Frame().SetStatusText(1, Q(texts.part1));
}
