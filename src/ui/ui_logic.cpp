#include "ui/ui_logic.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>
#include <set>

#include "app/strings.h"
#include "platform/format.h"
#include "remotefs/result_message.h"

namespace nbx::ui {

namespace {

using nbx::strings::LoadString;

constexpr std::size_t kCompareLength = 256;  // a row text is looked at this far for sorting

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// One code point from UTF-8; a byte that starts no valid sequence stands for itself, so any
// byte string compares deterministically.
char32_t NextCodePoint(const std::string& s, std::size_t& i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b0 = byte(i);
    int extra = 0;
    char32_t cp = b0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        extra = 1;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        extra = 2;
        cp = b0 & 0x0F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        extra = 3;
        cp = b0 & 0x07;
    }
    if (extra == 0 || i + static_cast<std::size_t>(extra) >= s.size()) {
        ++i;
        return b0;
    }
    for (int k = 1; k <= extra; ++k) {
        const unsigned char b = byte(i + static_cast<std::size_t>(k));
        if ((b & 0xC0) != 0x80) {
            ++i;
            return b0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    i += static_cast<std::size_t>(extra) + 1;
    return cp;
}

// Simple case folding for the scripts users name files in most: Latin, Greek, Cyrillic and
// full-width Latin. Enough for the list's case-insensitive rules, without a locale.
char32_t FoldCase(char32_t c) {
    if (c >= U'A' && c <= U'Z') {
        return c + 0x20;
    }
    if (c < 0x80) {
        return c;
    }
    if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
        return c + 0x20;
    }
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
        c != 0x17F) {
        // Pairs: even upper, odd lower, except 0x139..0x148 and 0x179..0x17E (odd upper).
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddUpper) {
            return (c % 2 == 1) ? c + 1 : c;
        }
        return (c % 2 == 0) ? c + 1 : c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) {
        return c + 0x20;
    }
    if (c >= 0x410 && c <= 0x42F) {
        return c + 0x20;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 0x50;
    }
    if (c >= 0xFF21 && c <= 0xFF3A) {
        return c + 0x20;
    }
    return c;
}

std::u32string FoldedCodePoints(const std::string& text, std::size_t limit) {
    std::u32string out;
    std::size_t i = 0;
    while (i < text.size() && out.size() < limit) {
        out.push_back(FoldCase(NextCodePoint(text, i)));
    }
    return out;
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

// strtoll from the start of the text, saturating instead of overflowing; 0 without digits.
long long LeadingInteger(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    constexpr long long kMax = std::numeric_limits<long long>::max();
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const int digit = text[i] - '0';
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return negative ? -value : value;
}

// A reader with scanf's rules for "%3s, %d %s %d %d:%d:%d": conversions skip leading white
// space, a literal must be the next character, and numbers saturate instead of overflowing.
class DateScanner {
public:
    explicit DateScanner(std::string text) : text_(std::move(text)) {}

    bool Word(std::size_t maxLength, std::string& out) {
        SkipSpace();
        out.clear();
        while (pos_ < text_.size() && !IsSpace(text_[pos_]) && out.size() < maxLength) {
            out.push_back(text_[pos_++]);
        }
        return !out.empty();
    }
    bool Literal(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }
    bool Number(long long& out) {
        SkipSpace();
        bool negative = false;
        if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) {
            negative = text_[pos_++] == '-';
        }
        const std::size_t digits = pos_;
        long long value = 0;
        for (; pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9'; ++pos_) {
            value = value > 100000000000LL ? value : value * 10 + (text_[pos_] - '0');
        }
        out = negative ? -value : value;
        return pos_ > digits;
    }
    void SkipSpace() {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) {
            ++pos_;
        }
    }

private:
    static bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
    std::string text_;
    std::size_t pos_ = 0;
};

int MonthIndex(const std::string& name) {
    static constexpr std::array<const char*, 12> kMonths = {
        "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
    if (name.size() >= 3) {
        std::string head = name.substr(0, 3);
        for (char& c : head) {
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 0x20 : c);
        }
        for (std::size_t m = 0; m < kMonths.size(); ++m) {
            if (head == kMonths[m]) {
                return static_cast<int>(m);
            }
        }
    }
    return 0;  // an unknown name counts as January
}

// The point in time of a date text, read as local time. None when a field is missing, and
// also when one is out of range (year 1900..9999, day 1..31, hour 0..23, minute and second
// 0..59): such a row sorts as undated rather than as some normalised date.
std::optional<std::time_t> ParseDate(const std::string& text) {
    DateScanner in(text.substr(0, kCompareLength));
    std::string weekday;
    std::string month;
    long long day = 0;
    long long year = 0;
    long long hour = 0;
    long long minute = 0;
    long long second = 0;
    if (!in.Word(3, weekday) || !in.Literal(',')) {
        return std::nullopt;
    }
    if (!in.Number(day) || !in.Word(kCompareLength, month) || !in.Number(year) ||
        !in.Number(hour) || !in.Literal(':') || !in.Number(minute) || !in.Literal(':') ||
        !in.Number(second)) {
        return std::nullopt;
    }
    if (year < 1900 || year > 9999 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 ||
        minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    std::tm tm{};
    tm.tm_year = static_cast<int>(year - 1900);
    tm.tm_mon = MonthIndex(month);
    tm.tm_mday = static_cast<int>(day);
    tm.tm_hour = static_cast<int>(hour);
    tm.tm_min = static_cast<int>(minute);
    tm.tm_sec = static_cast<int>(second);
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

template <typename T>
int Order(const T& a, const T& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
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
    bar.items.push_back(
        {.kind = kAddressNodeList, .text = LoadString(851), .image = 0, .indent = 0});
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
        return LoadString(800);
    }
    if (node->device_type == DeviceKind::Disk) {
        return StrPrintf(LoadString(802).c_str(), path.c_str());
    }
    return StrPrintf(LoadString(801).c_str(), node->node_name.c_str(), path.c_str());
}

std::string NavigateFailureMessage(int result) {
    return ResultMessage(result);
}

// ---- Sorting -----------------------------------------------------------------------------

SortKey MakeSortKey(CompareRule rule, const std::string& text) {
    SortKey key;
    switch (rule) {
        case CompareRule::kText:
            key.folded = FoldedCodePoints(text, kCompareLength);
            break;
        case CompareRule::kSize: {
            const std::string head = text.substr(0, kCompareLength);
            long long n = LeadingInteger(head);
            if (EndsWith(head, "KB")) {
                constexpr long long kLimit = std::numeric_limits<long long>::max() / 1024;
                n = n > kLimit ? std::numeric_limits<long long>::max()
                               : (n < -kLimit ? std::numeric_limits<long long>::min() : n * 1024);
            }
            key.number = n;
            key.hasNumber = true;
            break;
        }
        case CompareRule::kDate:
            if (const std::optional<std::time_t> time = ParseDate(text)) {
                key.number = static_cast<long long>(*time);
                key.hasNumber = true;
            }
            break;
    }
    return key;
}

int CompareKeys(CompareRule rule, const SortKey& a, const SortKey& b) {
    if (rule == CompareRule::kText) {
        const std::size_t n = std::min(a.folded.size(), b.folded.size());
        for (std::size_t i = 0; i < n; ++i) {
            if (a.folded[i] != b.folded[i]) {
                return a.folded[i] < b.folded[i] ? -1 : 1;
            }
        }
        return 0;  // a text that begins the other one compares equal to it
    }
    if (!a.hasNumber || !b.hasNumber) {
        return Order(a.hasNumber, b.hasNumber);  // undated first
    }
    return Order(a.number, b.number);
}

int Compare(CompareRule rule, const std::string& a, const std::string& b) {
    return CompareKeys(rule, MakeSortKey(rule, a), MakeSortKey(rule, b));
}

int CompareText(const std::string& a, const std::string& b) {
    return Compare(CompareRule::kText, a, b);
}

int CompareSize(const std::string& a, const std::string& b) {
    return Compare(CompareRule::kSize, a, b);
}

int CompareDate(const std::string& a, const std::string& b) {
    return Compare(CompareRule::kDate, a, b);
}

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
        return StrPrintf(LoadString(406).c_str(), static_cast<int>(std::ceil(v)));
    }
    return StrPrintf(LoadString(406 + u).c_str(), static_cast<double>(v));
}

std::string SizeColumnText(std::uint64_t bytes) {
    if (bytes < 1025) {
        return FormatCount(410, static_cast<long long>(bytes));
    }
    return FormatCount(406, static_cast<long long>(bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0)));
}

std::string TypeName(const std::string& name, const std::string& desktopTypeName) {
    if (!desktopTypeName.empty()) {
        return desktopTypeName;
    }
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot + 1 == name.size()) {
        return LoadString(602);
    }
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 0x20 : c);
    }
    return StrPrintf(LoadString(603).c_str(), extension.c_str());
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
    std::string candidate = LoadString(608);
    for (int n = 2; taken.count(candidate) != 0; ++n) {
        candidate = StrPrintf(LoadString(609).c_str(), n);
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
        return LoadString(400);
    }
    return FormatCount(401, static_cast<long long>(rows));
}

}  // namespace

StatusTexts FolderStatusTexts(const std::vector<FolderRowInfo>& rows,
                              const std::vector<int>& selectedRows) {
    const std::vector<int> selected = ExistingRows(selectedRows, rows.size());
    if (selected.empty()) {
        std::uint64_t total = 0;
        for (const FolderRowInfo& row : rows) {
            total += row.kind == 0 ? row.size : 0;
        }
        return {.part0 = ObjectCount(rows.size()), .part1 = FormatSize(total)};
    }
    if (selected.size() == 1) {
        const FolderRowInfo& row = rows[static_cast<std::size_t>(selected.front())];
        if (row.kind != 0) {
            return {.part0 = LoadString(404), .part1 = {}};
        }
        const std::string size = FormatSize(row.size);
        return {.part0 = StrPrintf(LoadString(405).c_str(), row.typeText.c_str(),
                                   row.dateText.c_str(), size.c_str()),
                .part1 = size};
    }
    std::uint64_t total = 0;
    for (int index : selected) {
        const FolderRowInfo& row = rows[static_cast<std::size_t>(index)];
        total += row.kind == 0 ? row.size : 0;
    }
    return {.part0 = FormatCount(403, static_cast<long long>(selected.size())),
            .part1 = total == 0 ? std::string() : FormatSize(total)};
}

StatusTexts NodeStatusTexts(const std::vector<NodeRowInfo>& rows,
                            const std::vector<int>& selectedRows) {
    const std::vector<int> selected = ExistingRows(selectedRows, rows.size());
    if (selected.empty()) {
        return {.part0 = ObjectCount(rows.size()), .part1 = {}};
    }
    if (selected.size() >= 2) {
        return {.part0 = FormatCount(403, static_cast<long long>(selected.size())), .part1 = {}};
    }
    const NodeRowInfo& row = rows[static_cast<std::size_t>(selected.front())];
    if (row.kind == 3 || row.kind == 5) {
        return {.part0 = row.description, .part1 = {}};
    }
    if (row.node == nullptr) {
        return {};
    }
    const CNbxNode& node = *row.node;
    // The cloud disk has no node name; the status has always shown "(null)" for it.
    const std::string nodeName =
        node.device_type == DeviceKind::Disk ? std::string("(null)") : node.node_name;
    return {.part0 = StrPrintf(LoadString(402).c_str(), NodeStateName(node.state).c_str(),
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
