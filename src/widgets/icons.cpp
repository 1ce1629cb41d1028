#include "widgets/icons.h"

#include <QApplication>
#include <QHash>
#include <QMimeDatabase>
#include <QMimeType>
#include <QStyle>

#include <array>
#include <initializer_list>

namespace nbx::ui {

namespace {

struct ResourceEntry {
    int resource;
    const char* file;  // under :/icons/
    // Theme names tried in turn; the first one the theme has wins. Kinds the naming rules have
    // no fitting name for keep our own picture everywhere, so they stay told apart.
    std::initializer_list<const char*> themeNames;
};

const std::array<ResourceEntry, 13>& Resources() {
    static const std::array<ResourceEntry, 13> kResources = {{
        {128, "nimbexshell.svg", {"nimbexshell"}},
        {151, "add-node.svg", {"list-add"}},
        {195, "add-shared-folder.svg", {"folder-new"}},
        {196, "node.svg", {"folder-remote"}},
        {191, "handset.svg", {"phone"}},
        {193, "legacy-handset.svg", {}},
        {187, "smartphone.svg", {"smartphone", "phone"}},
        {188, "appliance.svg", {"drive-multidisk"}},
        {192, "virtual-server.svg", {"network-server"}},
        {189, "workstation.svg", {"computer"}},
        {190, "tablet.svg", {"tablet"}},
        {194, "picture-frame.svg", {}},
        {231, "cloud-disk.svg", {"folder-cloud"}},
    }};
    return kResources;
}

const ResourceEntry* FindResource(int resource) {
    for (const ResourceEntry& entry : Resources()) {
        if (entry.resource == resource) {
            return &entry;
        }
    }
    return nullptr;
}

// The first of the names that the current theme has, else the fallback.
QIcon ThemeIcon(std::initializer_list<const char*> names, const QIcon& fallback) {
    for (const char* name : names) {
        const QString themeName = QString::fromLatin1(name);
        if (QIcon::hasThemeIcon(themeName)) {
            return QIcon::fromTheme(themeName);
        }
    }
    return fallback;
}

QIcon StandardIcon(QStyle::StandardPixmap pixmap) {
    // Without a widget application (a core-only program) there is no style to ask.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) {
        return {};
    }
    return QApplication::style()->standardIcon(pixmap);
}

// The view asks for a file's icon and then its type name: the last answer is kept for that.
// (Not per extension: some types are known by a whole name, such as CMakeLists.txt.)
QMimeType MimeForName(const QString& name) {
    static const QMimeDatabase database;
    static QString lastName;
    static QMimeType lastType;
    if (name != lastName || !lastType.isValid()) {
        lastType = database.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
        lastName = name;
    }
    return lastType;
}

QHash<QString, QIcon>& Cache() {
    static QHash<QString, QIcon> cache;
    return cache;
}

template <typename Make>
QIcon Cached(const QString& key, Make make) {
    QHash<QString, QIcon>& cache = Cache();
    if (const auto it = cache.constFind(key); it != cache.constEnd()) {
        return *it;
    }
    QIcon icon = make();
    cache.insert(key, icon);
    return icon;
}

}  // namespace

QString ResourceIconFile(int resource) {
    const ResourceEntry* entry = FindResource(resource);
    return entry != nullptr ? QStringLiteral(":/icons/") + QString::fromLatin1(entry->file)
                            : QString();
}

QIcon ResourceIcon(int resource) {
    const ResourceEntry* entry = FindResource(resource);
    if (entry == nullptr) {
        return {};
    }
    return Cached(QStringLiteral("res:%1").arg(resource),
                  [&] { return ThemeIcon(entry->themeNames, QIcon(ResourceIconFile(resource))); });
}

int DeviceIconResource(int deviceType) {
    static constexpr std::array<int, 10> kByKind = {196, 191, 193, 187, 188,
                                                    192, 189, 190, 194, 231};
    if (deviceType < 0 || deviceType >= static_cast<int>(kByKind.size())) {
        return 196;
    }
    return kByKind[static_cast<std::size_t>(deviceType)];
}

void ClearIconCache() {
    Cache().clear();
}

QIcon FolderIcon() {
    return Cached(QStringLiteral("folder"),
                  [] { return ThemeIcon({"folder"}, StandardIcon(QStyle::SP_DirIcon)); });
}

QIcon UpFolderIcon() {
    return Cached(QStringLiteral("up"), [] {
        return ThemeIcon({"go-parent-folder", "go-up"},
                         StandardIcon(QStyle::SP_FileDialogToParent));
    });
}

QIcon FileIconForName(const QString& name) {
    const QMimeType mime = MimeForName(name);
    return Cached(QStringLiteral("mime:") + mime.name(), [&] {
        QIcon icon = StandardIcon(QStyle::SP_FileIcon);
        icon = QIcon::fromTheme(QStringLiteral("text-x-generic"), icon);
        icon = QIcon::fromTheme(mime.genericIconName(), icon);
        return QIcon::fromTheme(mime.iconName(), icon);
    });
}

QString FileTypeNameForName(const QString& name) {
    const QMimeType mime = MimeForName(name);
    if (!mime.isValid() || mime.isDefault()) {
        return {};
    }
    return mime.comment();
}

}  // namespace nbx::ui
