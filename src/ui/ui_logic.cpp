#include "ui/ui_logic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <set>

#include "base/strings.h"
#include "platform/format.h"
#include "remotefs/result_message.h"

namespace nbx::ui {

namespace {

using nbx::strings::LoadString;

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    const std::size_t all = std::numeric_limits<std::size_t>::max();
    return FoldedCodePoints(a, all) == FoldedCodePoints(b, all);
}

// The loaded format with its one "%d" widened, so 64-bit counts print whole.
std::string FormatCount(int id, long long value) {
    std::string format = LoadString(id);
    const std::size_t at = format.find("%d");
    if (at == std::string::npos) {
        return format;
    }
    format.replace(at, 2, "%lld");
    return StrPrintf(format.c_str(), value);
}

AddressItem NodeItem(const CNbxNode& node) {
    return {
        .kind = node.node_type == NodeType::ServiceNode ? kAddressServiceNode : kAddressOtherNode,
        .text = node.title_name,
        .image = NodeImage(node),
        .indent = 1};
}

}  // namespace

// ---- Address bar -------------------------------------------------------------------------

int NodeImage(const CNbxNode& node) {
    if (node.node_type == NodeType::ServiceNode && node.device_type >= DeviceKind::Unknown &&
        node.device_type <= DeviceKind::Disk) {
        return node.device_type + 2;
    }
    return 2;
}

bool IsDeviceNode(const CNbxNode& node) {
    return node.node_type == NodeType::ServiceNode && node.device_type != DeviceKind::Disk;
}

std::string NodeRootFolder(const CNbxNode& node) {
    std::string root = node.root_dir;
    if (!StartsWith(root, "/")) {
        root.insert(0, "/");
    }
    if (!EndsWith(root, "/")) {
        root.push_back('/');
    }
    return root;
}

std::string NormalizeNodePath(const CNbxNode& node, const std::string& path) {
    const std::string root = NodeRootFolder(node);
    if (path.empty()) {
        return root;
    }
    std::string p = path;
    if (!StartsWith(p, "/")) {
        p.insert(0, "/");
    }
    if (!EndsWith(p, "/")) {
        p.push_back('/');
    }
    if (!StartsWith(p, root)) {
        p = root + p.substr(1);
    }
    return p;
}

AddressBarItems BuildAddressBarItems(const CNbxNode* current, const std::string& path,
                                     const std::vector<const CNbxNode*>& nodes) {
    AddressBarItems bar;
    bar.items.push_back({.kind = kAddressNodeList,
                         .text = LoadString(nbx::strings::kNodeConfiguration),
                         .image = 0,
                         .indent = 0});
    if (current == nullptr) {
        for (const CNbxNode* node : nodes) {
            if (node != nullptr) {
                bar.items.push_back(NodeItem(*node));
            }
        }
        bar.selected = 0;
        return bar;
    }

    const CNbxNode& n = *current;
    bar.items.push_back(NodeItem(n));
    bar.selected = 1;
    const std::string root = NodeRootFolder(n);
    const std::string p = NormalizeNodePath(n, path);
    const bool device = IsDeviceNode(n);
    const int folderKind = device ? kAddressDeviceFolder : kAddressFolder;
    const auto add = [&](std::string text, bool select) {
        bar.items.push_back({.kind = folderKind, .text = std::move(text), .image = 1, .indent = 2});
        if (select) {
            bar.selected = static_cast<int>(bar.items.size()) - 1;
        }
    };
    // Every folder of p below the position `from`, each selected in turn, the deepest last.
    const auto addPrefixes = [&](std::size_t from) {
        for (std::size_t i = from; i < p.size(); ++i) {
            if (p[i] == '/') {
                add(p.substr(0, i + 1), true);
            }
        }
    };

    if (p == root) {
        if (device) {
            add("/MyStorage/", false);
            add("/public_html/", false);
        }
    } else if (device) {
        add("/MyStorage/", true);
        std::size_t s = StartsWith(p, "/MyStorage/") ? 11 : 0;
        const bool publicHtml = StartsWith(p, "/public_html/");
        if (publicHtml) {
            add("/public_html/", true);
            s = 13;
        } else if (s == 0) {
            s = 1;
        }
        addPrefixes(s);
        if (!publicHtml) {
            add("/public_html/", false);
        }
    } else {
        addPrefixes(root.size());
    }

    for (const CNbxNode* node : nodes) {
        if (node != nullptr && node != current) {
            bar.items.push_back(NodeItem(*node));
        }
    }
    return bar;
}

TypedAddress ParseTypedAddress(const std::string& text, bool isNodeTitle) {
    if (const std::size_t k = text.find(':'); k != std::string::npos) {
        std::string path = text.substr(k + 1);
        return {.node = text.substr(0, k), .path = path.empty() ? "/" : path};
    }
    if (text.find('/') == std::string::npos && isNodeTitle) {
        return {.node = text, .path = "/"};
    }
    return {.node = std::nullopt, .path = text};
}

std::string FrameTitle(const CNbxNode* node, const std::string& path) {
    if (node == nullptr) {
        return LoadString(nbx::strings::kFrameTitle);
    }
    if (node->device_type == DeviceKind::Disk) {
        return StrPrintf(LoadString(nbx::strings::kFrameTitleDiskPath).c_str(), path.c_str());
    }
    return StrPrintf(LoadString(nbx::strings::kFrameTitleNodePath).c_str(), node->node_name.c_str(),
                     path.c_str());
}

std::string NavigateFailureMessage(int result) {
    return ResultMessage(result);
}

// ---- Sorting -----------------------------------------------------------------------------

CompareRule FolderColumnRule(int column) {
    switch (column) {
        case 1:
            return CompareRule::kSize;
        case 3:
            return CompareRule::kDate;
        default:
            return CompareRule::kText;
    }
}

// ---- Folder rows -------------------------------------------------------------------------

std::string FormatSize(std::uint64_t bytes) {
    // Single precision on purpose: the texts at the unit boundaries depend on it.
    float v = static_cast<float>(bytes) / 1024.0f;
    int u = 0;
    while (u < 3) {
        const float w = v / 1024.0f;
        if (w > 1.0f || v > 1000.0f) {
            v = w;
            ++u;
        } else {
            break;
        }
    }
    if (u == 0) {
        return StrPrintf(LoadString(nbx::strings::kSizeKb).c_str(), static_cast<int>(std::ceil(v)));
    }
    return StrPrintf(LoadString(nbx::strings::kSizeKb + u).c_str(), static_cast<double>(v));
}

std::string SizeColumnText(std::uint64_t bytes) {
    if (bytes < 1025) {
        return FormatCount(nbx::strings::kSizeBytes, static_cast<long long>(bytes));
    }
    return FormatCount(nbx::strings::kSizeKb,
                       static_cast<long long>(bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0)));
}

std::string TypeName(const std::string& name, const std::string& desktopTypeName) {
    if (!desktopTypeName.empty()) {
        return desktopTypeName;
    }
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot + 1 == name.size()) {
        return LoadString(nbx::strings::kTypeFile);
    }
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 0x20 : c);
    }
    return StrPrintf(LoadString(nbx::strings::kTypeExtensionFile).c_str(), extension.c_str());
}

bool IsValidItemName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") {
        return false;
    }
    // A NUL would cut the name short on its way to the server.
    return name.find_first_of(std::string("\\/:*?\"<>\0", 10)) == std::string::npos;
}

std::string NewFolderName(const std::vector<std::string>& rowTexts) {
    const std::set<std::string> taken(rowTexts.begin(), rowTexts.end());
    std::string candidate = LoadString(nbx::strings::kNewFolder);
    for (int n = 2; taken.count(candidate) != 0; ++n) {
        candidate = StrPrintf(LoadString(nbx::strings::kNewFolderNumbered).c_str(), n);
    }
    return candidate;
}

bool IsListedEntry(const CNbxNode& node, const std::string& currentPath, const std::string& name) {
    if (name == "." || name == "..") {
        return false;
    }
    // Only a device's root is the fixed set of its storage areas; a shared folder's root is an
    // ordinary folder of the user's.
    if (currentPath == "/" && IsDeviceNode(node)) {
        return name == "MyStorage" || name == "public_html" || name == "sdcard";
    }
    return true;
}

bool WantsThumbnail(const CNbxNode& node, const std::string& name) {
    if (node.device_type != DeviceKind::Workstation && node.device_type != DeviceKind::Disk) {
        return false;
    }
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        return false;
    }
    std::string extension = name.substr(dot);
    for (char& c : extension) {
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 0x20 : c);
    }
    return extension == ".jpg" || extension == ".jpeg" || extension == ".bmp" ||
           extension == ".gif" || extension == ".png";
}

std::string ParentFolder(const std::string& path) {
    std::string p = path;
    if (EndsWith(p, "/")) {
        p.pop_back();
    }
    const std::size_t slash = p.rfind('/');
    if (slash == std::string::npos) {
        return "/";
    }
    return p.substr(0, slash + 1);
}

bool IsEditableFolder(const CNbxNode& node, const std::string& currentPath) {
    return currentPath != "/" || !IsDeviceNode(node);
}

// ---- Status bar --------------------------------------------------------------------------

namespace {

// The selected rows that exist, in the order given.
std::vector<int> ExistingRows(const std::vector<int>& selectedRows, std::size_t rowCount) {
    std::vector<int> rows;
    for (int row : selectedRows) {
        if (row >= 0 && static_cast<std::size_t>(row) < rowCount) {
            rows.push_back(row);
        }
    }
    return rows;
}

std::string ObjectCount(std::size_t rows) {
    if (rows == 0) {
        return {};
    }
    if (rows == 1) {
        return LoadString(nbx::strings::kOneObject);
    }
    return FormatCount(nbx::strings::kObjectCount, static_cast<long long>(rows));
}

}  // namespace

StatusTexts FolderStatusTexts(const std::vector<FolderRowInfo>& rows,
                              const std::vector<int>& selectedRows) {
    const std::vector<int> selected = ExistingRows(selectedRows, rows.size());
    if (selected.empty()) {
        std::uint64_t total = 0;
        for (const FolderRowInfo& row : rows) {
            total += row.kind == RowKind::kFile ? row.size : 0;
        }
        return {.part0 = ObjectCount(rows.size()), .part1 = FormatSize(total)};
    }
    if (selected.size() == 1) {
        const FolderRowInfo& row = rows[static_cast<std::size_t>(selected.front())];
        if (row.kind != RowKind::kFile) {
            return {.part0 = LoadString(nbx::strings::kOneSelected), .part1 = {}};
        }
        const std::string size = FormatSize(row.size);
        return {.part0 = StrPrintf(LoadString(nbx::strings::kFileStatusLine).c_str(),
                                   row.typeText.c_str(), row.dateText.c_str(), size.c_str()),
                .part1 = size};
    }
    std::uint64_t total = 0;
    for (int index : selected) {
        const FolderRowInfo& row = rows[static_cast<std::size_t>(index)];
        total += row.kind == RowKind::kFile ? row.size : 0;
    }
    return {
        .part0 = FormatCount(nbx::strings::kSelectedCount, static_cast<long long>(selected.size())),
        .part1 = total == 0 ? std::string() : FormatSize(total)};
}

StatusTexts NodeStatusTexts(const std::vector<NodeRowInfo>& rows,
                            const std::vector<int>& selectedRows) {
    const std::vector<int> selected = ExistingRows(selectedRows, rows.size());
    if (selected.empty()) {
        return {.part0 = ObjectCount(rows.size()), .part1 = {}};
    }
    if (selected.size() >= 2) {
        return {.part0 = FormatCount(nbx::strings::kSelectedCount,
                                     static_cast<long long>(selected.size())),
                .part1 = {}};
    }
    const NodeRowInfo& row = rows[static_cast<std::size_t>(selected.front())];
    if (row.kind == RowKind::kAddNode || row.kind == RowKind::kAddSharedFolder) {
        return {.part0 = row.description, .part1 = {}};
    }
    if (row.node == nullptr) {
        return {};
    }
    const CNbxNode& node = *row.node;
    // The cloud disk has no node name; the status has always shown "(null)" for it.
    const std::string nodeName =
        node.device_type == DeviceKind::Disk ? std::string("(null)") : node.node_name;
    return {.part0 = StrPrintf(LoadString(nbx::strings::kNodeStatusLine).c_str(),
                               NodeStateName(node.state).c_str(),
                               DeviceKindName(node.device_type).c_str(), nodeName.c_str(),
                               node.login.c_str()),
            .part1 = {}};
}

// ---- Node view ---------------------------------------------------------------------------

int NodeFrameIconResource(const CNbxNode& node) {
    if (node.node_type == NodeType::SharedFolder) {
        return 196;
    }
    if (node.node_type != NodeType::ServiceNode) {
        return 128;
    }
    static constexpr std::array<int, 10> kIcons = {128, 191, 193, 187, 188,
                                                   192, 189, 190, 194, 231};
    if (node.device_type < 0 || node.device_type > DeviceKind::Disk) {
        return 128;
    }
    return kIcons[static_cast<std::size_t>(node.device_type)];
}

int NodeGroup(const CNbxNode& node) {
    return node.device_type == DeviceKind::Disk ? 1 : 2;
}

bool IsAcceptableNodeTitle(const std::string& oldTitle, const std::string& newTitle, bool taken) {
    return !newTitle.empty() && !EqualsIgnoreCase(oldTitle, newTitle) && !taken &&
           IsValidItemName(newTitle);
}

}  // namespace nbx::ui
