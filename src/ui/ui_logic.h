#pragma once

// What the explorer window decides without widgets: address-bar items, titles, messages,
// comparisons, size and type texts, names and status-bar texts. Plain functions of their
// arguments (texts in the user's language come from the string table), so tests need no display.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "nodes/nbx_node.h"
#include "widgets/sort_rules.h"

namespace nbx::ui {

// ---- Address bar -------------------------------------------------------------------------

// Kinds of address-bar items.
enum AddressKind : int {
    kAddressNodeList = 0,     // "Node Configuration"
    kAddressServiceNode = 1,  // a node whose node_type is 1
    kAddressOtherNode = 2,    // a node of any other type
    kAddressFolder = 3,       // a folder of a shared-folder or cloud-disk node
    kAddressDeviceFolder = 4  // a folder of a device node
};

struct AddressItem {
    int kind = kAddressNodeList;
    std::string text;  // kinds 1, 2: title_name; 3, 4: the folder path ending in "/"; 0: the label
    int image = 0;     // index in the address-bar image list (0 app, 1 folder, 2 + device kind)
    int indent = 0;
    bool operator==(const AddressItem&) const = default;
};

struct AddressBarItems {
    std::vector<AddressItem> items;
    int selected = 0;
};

// Image of a node in the address bar and the node view: device_type + 2 for node_type 1 (2 for
// a device_type outside 0..9), else 2.
int NodeImage(const CNbxNode& node);

// A device node: node_type 1 and not the cloud disk.
bool IsDeviceNode(const CNbxNode& node);

// The node's root folder, beginning and ending with "/" even when stored without them.
std::string NodeRootFolder(const CNbxNode& node);

// The path as the address bar shows it for the node: root_dir when empty; "/" added in front
// and at the end where missing; a path outside root_dir is put below it.
std::string NormalizeNodePath(const CNbxNode& node, const std::string& path);

// The address-bar items for the current node (none: the node list) at the path, with the nodes
// of the node list in its enumeration order (the current node among them, compared by
// identity).
AddressBarItems BuildAddressBarItems(const CNbxNode* current, const std::string& path,
                                     const std::vector<const CNbxNode*>& nodes);

// What a typed address asks for. With `node`, open that node title at `path`; without, list
// `path` on the current node.
struct TypedAddress {
    std::optional<std::string> node;
    std::string path;
};
// `isNodeTitle` tells whether a text without ":" and "/" names a configured node.
TypedAddress ParseTypedAddress(const std::string& text, bool isNodeTitle);

// The window title: strings 800, 801 (node_name and path) or 802 (the cloud disk and path).
std::string FrameTitle(const CNbxNode* node, const std::string& path);

// The message that reports a failed listing, by its result.
std::string NavigateFailureMessage(int result);

// ---- Sorting -----------------------------------------------------------------------------

// The rule of a folder-view column: 0 name text, 1 size, 2 type text, 3 date.
CompareRule FolderColumnRule(int column);

// ---- Folder rows -------------------------------------------------------------------------

// The status-bar size: "%d KB", "%.2f MB", "%.2f GB" or "%.2f TB".
std::string FormatSize(std::uint64_t bytes);
// The Size column: "%d B" up to 1024 bytes, else "%d KB" rounded up.
std::string SizeColumnText(std::uint64_t bytes);
// The Type column: the desktop's type name when there is one; else "File" for a name without
// "." or ending in "."; else "%s File" with the extension in upper case.
std::string TypeName(const std::string& name, const std::string& desktopTypeName);
// Not empty, not "." or "..", none of \ / : * ? " < >.
bool IsValidItemName(const std::string& name);
// "New Folder", else "New Folder (n)" with the first n from 2 that no row text equals.
std::string NewFolderName(const std::vector<std::string>& rowTexts);
// Whether a folder-view entry is listed: at "/" of a device node only MyStorage, public_html
// and sdcard; "." and ".." never.
bool IsListedEntry(const CNbxNode& node, const std::string& currentPath, const std::string& name);
// Workstation and cloud-disk nodes show pictures (.jpg .jpeg .bmp .gif .png) as thumbnails.
bool WantsThumbnail(const CNbxNode& node, const std::string& name);
// The folder above a path ending in "/", also ending in "/".
std::string ParentFolder(const std::string& path);
// Create, rename, delete and paste are possible: anywhere but at the root of a device node.
bool IsEditableFolder(const CNbxNode& node, const std::string& currentPath);

// ---- Rows ------------------------------------------------------------------------------

// What a row of the view stands for, in either mode.
enum class RowKind : int {
    kFile = 0,
    kFolder = 1,
    kUp = 2,               // "..", to the parent folder
    kAddNode = 3,          // "Add Node"
    kServiceNode = 4,      // a node whose node_type is 1
    kAddSharedFolder = 5,  // "Add Shared Folder"
    kOtherNode = 6         // a node of any other type
};

// ---- Status bar --------------------------------------------------------------------------

struct StatusTexts {
    std::string part0;
    std::string part1;
    bool operator==(const StatusTexts&) const = default;
};

// One row of the folder view as the status bar sees it.
struct FolderRowInfo {
    RowKind kind = RowKind::kFile;  // a file, a folder or the up entry
    std::uint64_t size = 0;
    std::string typeText;  // column 2
    std::string dateText;  // column 3
};
StatusTexts FolderStatusTexts(const std::vector<FolderRowInfo>& rows,
                              const std::vector<int>& selectedRows);

// The node-view status: for a single selected node its state, device, node_name ("(null)" for
// the cloud disk) and login; for a single add entry its description.
struct NodeRowInfo {
    RowKind kind = RowKind::kServiceNode;  // an add entry or a node
    std::string description;               // column 2 of an add entry
    const CNbxNode* node = nullptr;        // kinds 4 and 6; null when the title is not found
};
StatusTexts NodeStatusTexts(const std::vector<NodeRowInfo>& rows,
                            const std::vector<int>& selectedRows);

// ---- Node view ---------------------------------------------------------------------------

// The big icon (resource number) of the frame while the node is open.
int NodeFrameIconResource(const CNbxNode& node);
// A node's group in the node view: 1 "Cloud" for the cloud disk, else 2 "Devices".
int NodeGroup(const CNbxNode& node);
// A new node title typed in the node view is acceptable; `taken` tells whether a node of that
// title exists.
bool IsAcceptableNodeTitle(const std::string& oldTitle, const std::string& newTitle, bool taken);

}  // namespace nbx::ui
