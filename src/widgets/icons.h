#pragma once

// Icons by the resource numbers the explorer refers to them with, from the desktop's icon theme
// by their freedesktop names, with the project's own small SVGs where the theme has none.
// Also file icons and type names by file name (never by looking at a file). User-interface
// thread only: the icons are cached per key for the life of the process.

#include <QIcon>
#include <QString>

namespace nbx::ui {

// 128 the application; 151 add node; 195 add shared folder; 196 a node without device kind;
// 191, 193, 187, 188, 192, 189, 190, 194, 231 the device kinds 1 to 9. A null icon otherwise.
QIcon ResourceIcon(int resource);
// The icon of the device kind 0..9 (196 for 0 and for values outside).
int DeviceIconResource(int deviceType);
// The project's own picture of a resource (":/icons/..."), empty for an unknown resource.
QString ResourceIconFile(int resource);

// Forgets the cached icons, so the next ones come from the theme now in use.
void ClearIconCache();

QIcon FolderIcon();
QIcon UpFolderIcon();
// The icon of a normal file of that name, by its type.
QIcon FileIconForName(const QString& name);
// The desktop's name of the type of a file of that name; empty when the type is unknown.
QString FileTypeNameForName(const QString& name);

}  // namespace nbx::ui
