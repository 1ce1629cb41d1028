#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "nodes/nbx_node.h"
#include "ui/ui_logic.h"

namespace {

using nbx::ui::AddressBarItems;
using nbx::ui::AddressItem;
using nbx::ui::CompareRule;
using nbx::ui::FolderRowInfo;
using nbx::ui::NodeRowInfo;
using nbx::ui::RowKind;
using nbx::ui::StatusTexts;

CNbxNode Node(int nodeType, int deviceType, std::string title, std::string rootDir = "/",
              std::string nodeName = "dev") {
    return CNbxNode(NodeSettings{.node_type = nodeType,
                                 .device_type = deviceType,
                                 .node_name = std::move(nodeName),
                                 .login = "user@example.net",
                                 .root_dir = std::move(rootDir),
                                 .title_name = std::move(title)});
}

AddressItem NodeList() {
    return {.kind = 0, .text = "Node Configuration", .image = 0};
}
AddressItem NodeEntry(const CNbxNode& n, int kind, int image) {
    return {.kind = kind, .text = n.title_name, .image = image, .indent = 1};
}
AddressItem Folder(int kind, std::string text) {
    return {.kind = kind, .text = std::move(text), .image = 1, .indent = 2};
}

// ---- Address bar -------------------------------------------------------------------------

class AddressBarTest : public ::testing::Test {
protected:
    CNbxNode phone = Node(NodeType::ServiceNode, DeviceKind::Handset, "Phone", "/MyStorage/");
    CNbxNode pc = Node(NodeType::ServiceNode, DeviceKind::Workstation, "PC", "/");
    CNbxNode disk = Node(NodeType::ServiceNode, DeviceKind::Disk, "Disk", "/", "");
    CNbxNode share = Node(NodeType::SharedFolder, DeviceKind::Unknown, "Share", "/share/");
    std::vector<const CNbxNode*> all{&phone, &pc, &disk, &share};
};

TEST_F(AddressBarTest, WithoutNodeListsEveryNodeAfterTheNodeListItem) {
    const AddressBarItems bar = nbx::ui::BuildAddressBarItems(nullptr, "/", all);
    const std::vector<AddressItem> expected = {NodeList(), NodeEntry(phone, 1, 3),
                                               NodeEntry(pc, 1, 8), NodeEntry(disk, 1, 11),
                                               NodeEntry(share, 2, 2)};
    EXPECT_EQ(bar.items, expected);
    EXPECT_EQ(bar.selected, 0);
}

TEST_F(AddressBarTest, ItemsForNodeAndPath) {
    struct Case {
        const char* name;
        const CNbxNode* node;
        const char* path;
        std::vector<AddressItem> folders;  // between the node and the other nodes
        int selected;
    };
    const Case cases[] = {
        {"relative path below a MyStorage root",
         &phone,
         "sdcard/dir",
         {Folder(4, "/MyStorage/"), Folder(4, "/MyStorage/sdcard/"),
          Folder(4, "/MyStorage/sdcard/dir/"), Folder(4, "/public_html/")},
         4},
        {"device root shows both top folders, node selected",
         &phone,
         "",
         {Folder(4, "/MyStorage/"), Folder(4, "/public_html/")},
         1},
        {"public_html is not appended twice",
         &pc,
         "/public_html/a/",
         {Folder(4, "/MyStorage/"), Folder(4, "/public_html/"), Folder(4, "/public_html/a/")},
         4},
        {"public_html itself",
         &pc,
         "/public_html/",
         {Folder(4, "/MyStorage/"), Folder(4, "/public_html/")},
         3},
        {"MyStorage itself below a / root",
         &pc,
         "/MyStorage",
         {Folder(4, "/MyStorage/"), Folder(4, "/public_html/")},
         2},
        {"another top folder of a device",
         &pc,
         "/sdcard/x/",
         {Folder(4, "/MyStorage/"), Folder(4, "/sdcard/"), Folder(4, "/sdcard/x/"),
          Folder(4, "/public_html/")},
         4},
        {"shared folder below its root",
         &share,
         "/share/a/b/",
         {Folder(3, "/share/a/"), Folder(3, "/share/a/b/")},
         3},
        {"shared folder at its root", &share, "/share/", {}, 1},
        {"shared folder, path outside the root is put below it",
         &share,
         "x",
         {Folder(3, "/share/x/")},
         2},
        {"cloud disk folders are plain folders",
         &disk,
         "/a/b",
         {Folder(3, "/a/"), Folder(3, "/a/b/")},
         3},
        {"cloud disk root", &disk, "/", {}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const AddressBarItems bar = nbx::ui::BuildAddressBarItems(c.node, c.path, all);
        std::vector<AddressItem> expected = {
            NodeList(), NodeEntry(*c.node, c.node == &share ? 2 : 1, nbx::ui::NodeImage(*c.node))};
        expected.insert(expected.end(), c.folders.begin(), c.folders.end());
        for (const CNbxNode* other : all) {
            if (other != c.node) {
                expected.push_back(
                    NodeEntry(*other, other == &share ? 2 : 1, nbx::ui::NodeImage(*other)));
            }
        }
        EXPECT_EQ(bar.items, expected);
        EXPECT_EQ(bar.selected, c.selected);
    }
}

TEST_F(AddressBarTest, CurrentNodeIsSkippedByIdentityNotByTitle) {
    // A copy of the current node (same title) is another node of the list.
    const CNbxNode copy(share);
    const AddressBarItems bar = nbx::ui::BuildAddressBarItems(&copy, "/share/", {&share});
    ASSERT_EQ(bar.items.size(), 3u);
    EXPECT_EQ(bar.items[1], NodeEntry(copy, 2, 2));
    EXPECT_EQ(bar.items[2], NodeEntry(share, 2, 2));
}

TEST(AddressPathTest, Normalisation) {
    struct Case {
        const char* root;
        const char* path;
        const char* expected;
    } const cases[] = {
        {"/MyStorage/", "sdcard/dir", "/MyStorage/sdcard/dir/"},
        {"/MyStorage/", "/x/y", "/MyStorage/x/y/"},
        {"/MyStorage/", "", "/MyStorage/"},
        {"/MyStorage/", "/MyStorage/a/", "/MyStorage/a/"},
        {"/MyStorage/", "/MyStoragex/", "/MyStorage/MyStoragex/"},
        {"/", "a", "/a/"},
        {"/", "/", "/"},
        // A root stored without its slashes still bounds the path at a folder.
        {"/share", "/x/", "/share/x/"},
        {"share", "", "/share/"},
    };
    for (const auto& c : cases) {
        const CNbxNode node = Node(NodeType::SharedFolder, 0, "n", c.root);
        EXPECT_EQ(nbx::ui::NormalizeNodePath(node, c.path), c.expected)
            << c.root << " + " << c.path;
    }
}

TEST(AddressPathTest, TypedAddress) {
    struct Case {
        const char* text;
        bool isNodeTitle;
        std::optional<std::string> node;
        const char* path;
    } const cases[] = {
        {"Phone:docs", false, "Phone", "docs"},
        {"Phone:", false, "Phone", "/"},
        {"Phone:/a:b/", false, "Phone", "/a:b/"},  // the first colon ends the title
        {":/x/", false, "", "/x/"},
        {"Phone", true, "Phone", "/"},
        {"Phone", false, std::nullopt, "Phone"},
        {"a/b", true, std::nullopt, "a/b"},
        {"/x/y", false, std::nullopt, "/x/y"},
    };
    for (const auto& c : cases) {
        const nbx::ui::TypedAddress typed = nbx::ui::ParseTypedAddress(c.text, c.isNodeTitle);
        EXPECT_EQ(typed.node, c.node) << c.text;
        EXPECT_EQ(typed.path, c.path) << c.text;
    }
}

TEST(FrameTextTest, TitlesAndNavigationMessages) {
    const CNbxNode phone = Node(NodeType::ServiceNode, DeviceKind::Handset, "Phone", "/", "ph1");
    const CNbxNode disk = Node(NodeType::ServiceNode, DeviceKind::Disk, "Disk", "/", "");
    EXPECT_EQ(nbx::ui::FrameTitle(nullptr, "/x/"), "NimbexShell");
    EXPECT_EQ(nbx::ui::FrameTitle(&phone, "/MyStorage/"), "NimbexShell - ph1:/MyStorage/");
    EXPECT_EQ(nbx::ui::FrameTitle(&disk, "/a/"), "NimbexShell - @Disk:/a/");

    struct Case {
        int result;
        const char* message;
    } const cases[] = {
        {401, "Authentication Failure, Please check your Nimbex node configuration."},
        {403, "Specified folder does not exist!"},
        {404, "Specified folder does not exist!"},
        {408, "Could not connect to Nimbex! Operation timed out."},
        {502, "Clould not connect to Nimbex! The node is off-line."},
        {504, "Clould not connect to Nimbex! The node is off-line."},
        {-1, "Connection Failure. Please check your Internet connection."},
        {-2, "Connection Failure. Please check your Internet connection."},
        {500, "Error: 500"},
        {-3, "Error: -3"},
        {0, "Error: 0"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nbx::ui::NavigateFailureMessage(c.result), c.message) << c.result;
    }
}

// ---- Sorting -----------------------------------------------------------------------------

int Sign(int v) {
    return (v > 0) - (v < 0);
}

TEST(CompareTest, Rules) {
    struct Case {
        CompareRule rule;
        std::string a;
        std::string b;
        int expected;  // sign
    } const cases[] = {
        {CompareRule::kText, "abc", "ABD", -1},
        {CompareRule::kText, "Readme", "README", 0},
        {CompareRule::kText, "New Folder", "New Folder (2)", 0},  // prefix compares equal
        {CompareRule::kText, "", "anything", 0},
        {CompareRule::kText, "b", "a", 1},
        {CompareRule::kText, "Ärger", "ärger", 0},
        {CompareRule::kText, "Ωmega", "ωmega", 0},
        {CompareRule::kText, "Файл", "файл", 0},
        {CompareRule::kText, "日本", "日付", 1},
        {CompareRule::kText, std::string(300, 'a') + "b", std::string(300, 'a') + "c",
         0},  // beyond 256 characters
        {CompareRule::kSize, "900 B", "2 KB", -1},
        {CompareRule::kSize, "", "900 B", -1},
        {CompareRule::kSize, "", "0 B", 0},
        {CompareRule::kSize, "1024 B", "1 KB", 0},
        {CompareRule::kSize, "2 KB", "2047 B", 1},
        {CompareRule::kSize, "abc", "1 B", -1},
        {CompareRule::kSize, "4294967296 KB", "4294967295 KB", 1},      // past 32 bits
        {CompareRule::kSize, "99999999999999999999999 KB", "1 KB", 1},  // saturates
        {CompareRule::kDate, "Sun, 06 Nov 1994 08:49:37 GMT", "Mon, 07 Nov 1994 08:00:00 GMT", -1},
        {CompareRule::kDate, "Sun, 06 Nov 1994 08:49:37 GMT", "Sun, 06 Nov 1994 08:49:37", 0},
        {CompareRule::kDate, "Sun, 06 Nov 1994 08:49:38 GMT", "Sun, 06 Nov 1994 08:49:37 GMT", 1},
        {CompareRule::kDate, "Tue, 01 Feb 2000 00:00:00", "Mon, 31 jan 2000 23:59:59", 1},
        {CompareRule::kDate, "Tue, 01 FEBRUARY 2000 00:00:00", "Mon, 31 Jan 2000 23:59:59", 1},
        // An unknown month counts as January.
        {CompareRule::kDate, "Mon, 15 Foo 2000 00:00:00", "Mon, 20 Jan 2000 00:00:00", -1},
        {CompareRule::kDate, "garbage", "Sun, 06 Nov 1994 08:49:37 GMT", -1},
        {CompareRule::kDate, "", "garbage", 0},
        {CompareRule::kDate, "Sunday, 06 Nov 1994 08:49:37 GMT", "Sun, 01 Jan 1990 00:00:00", -1},
        {CompareRule::kDate, "Sun, 06 Nov 1994 08:49", "Sun, 01 Jan 1990 00:00:00", -1},
        {CompareRule::kDate, "Sun, 06 Nov 1994 08 :49:37", "Sun, 01 Jan 1990 00:00:00", -1},
    };
    for (const auto& c : cases) {
        const int forward = nbx::ui::Compare(c.rule, c.a, c.b);
        EXPECT_EQ(Sign(forward), c.expected) << c.a << " vs " << c.b;
        EXPECT_EQ(Sign(nbx::ui::Compare(c.rule, c.b, c.a)), -c.expected) << c.b << " vs " << c.a;
    }
}

TEST(CompareTest, OutOfRangeDateFieldsSortAsUndated) {
    const char* const bad[] = {
        "Sun, 06 Nov 1899 08:49:37", "Sun, 00 Nov 1994 08:49:37",
        "Sun, 32 Nov 1994 08:49:37", "Sun, 06 Nov 1994 24:00:00",
        "Sun, 06 Nov 1994 08:60:00", "Sun, 06 Nov 1994 08:49:60",
        "Sun, -6 Nov 1994 08:49:37", "Sun, 06 Nov 99999999999999999999 08:49:37",
        "Sun, 06 Nov 1994 -1:49:37",
    };
    for (const char* text : bad) {
        EXPECT_EQ(nbx::ui::CompareDate(text, "garbage"), 0) << text;
        EXPECT_LT(nbx::ui::CompareDate(text, "Sun, 01 Jan 1990 00:00:00"), 0) << text;
    }
}

TEST(CompareTest, SortsAColumnByItsRule) {
    struct Case {
        int column;
        std::vector<std::string> rows;
        std::vector<std::string> ascending;
    } const cases[] = {
        {1, {"2 KB", "900 B", ""}, {"", "900 B", "2 KB"}},
        {3,
         {"Mon, 07 Nov 1994 08:00:00 GMT", "n/a", "Sun, 06 Nov 1994 08:49:37 GMT"},
         {"n/a", "Sun, 06 Nov 1994 08:49:37 GMT", "Mon, 07 Nov 1994 08:00:00 GMT"}},
        {0, {"b.txt", "A.txt", "c.txt"}, {"A.txt", "b.txt", "c.txt"}},
        {2, {"Text", "PNG File"}, {"PNG File", "Text"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> rows = c.rows;
        const CompareRule rule = nbx::ui::FolderColumnRule(c.column);
        std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
            return nbx::ui::Compare(rule, a, b) < 0;
        });
        EXPECT_EQ(rows, c.ascending) << "column " << c.column;
    }
}

// ---- Folder rows -------------------------------------------------------------------------

TEST(SizeTextTest, FormatSize) {
    struct Case {
        std::uint64_t bytes;
        const char* text;
    } const cases[] = {
        {0, "0 KB"},
        {1, "1 KB"},
        {1000, "1 KB"},
        {1024, "1 KB"},
        {1025, "2 KB"},
        {1000 * 1024, "1000 KB"},
        {1000 * 1024 + 1, "0.98 MB"},  // past 1000 KB the unit moves up
        {1023 * 1024, "1.00 MB"},
        {1536 * 1024, "1.50 MB"},
        {1024ull * 1024 * 1024, "1.00 GB"},
        {1024ull * 1024 * 1024 * 1024, "1.00 TB"},
        {4294967295ull, "4.00 GB"},
        {5ull * 1024 * 1024 * 1024 * 1024 * 1024, "5120.00 TB"},  // TB is the largest unit
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nbx::ui::FormatSize(c.bytes), c.text) << c.bytes;
    }
}

TEST(SizeTextTest, SizeColumn) {
    struct Case {
        std::uint64_t bytes;
        const char* text;
    } const cases[] = {
        {0, "0 B"},
        {1024, "1024 B"},
        {1025, "2 KB"},
        {1048576, "1024 KB"},
        {4294967295ull, "4194304 KB"},
        {5ull << 40, "5368709120 KB"},  // past what a 32-bit count can print
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nbx::ui::SizeColumnText(c.bytes), c.text) << c.bytes;
    }
}

TEST(FolderRowTest, TypeNames) {
    struct Case {
        const char* name;
        const char* desktop;
        const char* type;
    } const cases[] = {
        {"README", "", "File"},        {"archive.tar.gz", "", "GZ File"},
        {"name.", "", "File"},         {".hidden", "", "HIDDEN File"},
        {"photo.JpG", "", "JPG File"}, {"photo.jpg", "JPEG image", "JPEG image"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nbx::ui::TypeName(c.name, c.desktop), c.type) << c.name;
    }
}

TEST(FolderRowTest, ValidItemNames) {
    for (const char* name : {"a", "New Folder", "..a", "...", "日本語", "a.b"}) {
        EXPECT_TRUE(nbx::ui::IsValidItemName(name)) << name;
    }
    for (const char* name : {"", ".", "..", "a\\b", "a/b", "a:b", "a*", "a?", "a\"b", "<a", "a>"}) {
        EXPECT_FALSE(nbx::ui::IsValidItemName(name)) << name;
    }
    EXPECT_FALSE(nbx::ui::IsValidItemName(std::string("a\0b", 3)));
}

TEST(FolderRowTest, NewFolderNumbering) {
    using Rows = std::vector<std::string>;
    EXPECT_EQ(nbx::ui::NewFolderName({}), "New Folder");
    EXPECT_EQ(nbx::ui::NewFolderName(Rows{"..", "a"}), "New Folder");
    EXPECT_EQ(nbx::ui::NewFolderName(Rows{"New Folder (2)", "New Folder"}), "New Folder (3)");
    // Not the highest number plus one: the first free one.
    EXPECT_EQ(nbx::ui::NewFolderName(Rows{"New Folder", "New Folder (3)"}), "New Folder (2)");
    // Case-sensitive: another case does not take the name.
    EXPECT_EQ(nbx::ui::NewFolderName(Rows{"new folder"}), "New Folder");
}

TEST(FolderRowTest, ListingAndEditingRules) {
    const CNbxNode phone = Node(NodeType::ServiceNode, DeviceKind::Handset, "Phone");
    const CNbxNode pc = Node(NodeType::ServiceNode, DeviceKind::Workstation, "PC");
    const CNbxNode disk = Node(NodeType::ServiceNode, DeviceKind::Disk, "Disk");
    const CNbxNode share = Node(NodeType::SharedFolder, DeviceKind::Unknown, "Share");

    for (const char* name : {"MyStorage", "public_html", "sdcard"}) {
        EXPECT_TRUE(nbx::ui::IsListedEntry(phone, "/", name)) << name;
    }
    for (const char* name : {"mystorage", "other", ".", ".."}) {
        EXPECT_FALSE(nbx::ui::IsListedEntry(phone, "/", name)) << name;
    }
    EXPECT_TRUE(nbx::ui::IsListedEntry(share, "/", "other"))
        << "a shared folder's root is a folder";
    EXPECT_TRUE(nbx::ui::IsListedEntry(disk, "/", "other"));
    EXPECT_TRUE(nbx::ui::IsListedEntry(phone, "/MyStorage/", "other"));
    EXPECT_FALSE(nbx::ui::IsListedEntry(disk, "/a/", ".."));

    for (const char* name : {"a.jpg", "a.JPEG", "b.bmp", "c.gif", "d.PNG"}) {
        EXPECT_TRUE(nbx::ui::WantsThumbnail(pc, name)) << name;
        EXPECT_TRUE(nbx::ui::WantsThumbnail(disk, name)) << name;
        EXPECT_FALSE(nbx::ui::WantsThumbnail(phone, name)) << name;
    }
    for (const char* name : {"a.jpg.txt", "jpg", "a.tiff", "a."}) {
        EXPECT_FALSE(nbx::ui::WantsThumbnail(pc, name)) << name;
    }

    EXPECT_EQ(nbx::ui::ParentFolder("/a/b/"), "/a/");
    EXPECT_EQ(nbx::ui::ParentFolder("/a/"), "/");
    EXPECT_EQ(nbx::ui::ParentFolder("/"), "/");
    EXPECT_EQ(nbx::ui::ParentFolder(""), "/");

    EXPECT_FALSE(nbx::ui::IsEditableFolder(phone, "/"));
    EXPECT_TRUE(nbx::ui::IsEditableFolder(share, "/"));
    EXPECT_TRUE(nbx::ui::IsEditableFolder(disk, "/"));
    EXPECT_TRUE(nbx::ui::IsEditableFolder(phone, "/MyStorage/"));
}

// ---- Status bar --------------------------------------------------------------------------

TEST(StatusBarTest, FolderView) {
    const FolderRowInfo up{.kind = RowKind::kUp};
    const FolderRowInfo dir{.kind = RowKind::kFolder, .typeText = "File Folder", .dateText = "d0"};
    const FolderRowInfo small{.kind = RowKind::kFile,
                              .size = 1536 * 1024,
                              .typeText = "PNG File",
                              .dateText = "Sun, 06 Nov"};
    const FolderRowInfo empty{
        .kind = RowKind::kFile, .size = 0, .typeText = "File", .dateText = "d1"};
    const std::vector<FolderRowInfo> rows = {up, dir, small, empty};
    struct Case {
        const char* name;
        std::vector<FolderRowInfo> rows;
        std::vector<int> selected;
        StatusTexts texts;
    } const cases[] = {
        {"no rows", {}, {}, {"", "0 KB"}},
        {"one row", {dir}, {}, {"1 object", "0 KB"}},
        {"several rows, files summed", rows, {}, {"4 objects", "1.50 MB"}},
        {"one folder", rows, {1}, {"1 object selected", ""}},
        {"the up entry", rows, {0}, {"1 object selected", ""}},
        {"one file", rows, {2}, {"Type:PNG File Date Created:Sun, 06 Nov Size:1.50 MB", "1.50 MB"}},
        {"several with files", rows, {1, 2, 3}, {"3 objects selected", "1.50 MB"}},
        {"several without file bytes", rows, {0, 1, 3}, {"3 objects selected", ""}},
        {"indices past the rows are ignored",
         rows,
         {2, 9, -1},
         {"Type:PNG File Date "
          "Created:Sun, 06 Nov "
          "Size:1.50 MB",
          "1.50 MB"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nbx::ui::FolderStatusTexts(c.rows, c.selected), c.texts) << c.name;
    }
}

TEST(StatusBarTest, NodeView) {
    CNbxNode phone = Node(NodeType::ServiceNode, DeviceKind::Handset, "Phone", "/", "ph1");
    phone.state = NodeState::Online;
    const CNbxNode disk = Node(NodeType::ServiceNode, DeviceKind::Disk, "Disk", "/", "");
    const NodeRowInfo addNode{.kind = RowKind::kAddNode, .description = "Add new Nimbex node"};
    const NodeRowInfo addShare{.kind = RowKind::kAddSharedFolder,
                               .description = "Add new Shared Folder"};
    const NodeRowInfo phoneRow{.kind = RowKind::kServiceNode, .node = &phone};
    const NodeRowInfo diskRow{.kind = RowKind::kServiceNode, .node = &disk};
    const NodeRowInfo lostRow{.kind = RowKind::kOtherNode, .node = nullptr};
    const std::vector<NodeRowInfo> rows = {addShare, addNode, phoneRow, diskRow, lostRow};
    struct Case {
        const char* name;
        std::vector<NodeRowInfo> rows;
        std::vector<int> selected;
        const char* part0;
    } const cases[] = {
        {"no rows", {}, {}, ""},
        {"one row", {addNode}, {}, "1 object"},
        {"five rows", rows, {}, "5 objects"},
        {"add entry", rows, {1}, "Add new Nimbex node"},
        {"device node",
         rows,
         {2},
         "Status:Online Device:Handset Node Name:ph1 User Name:user@example.net"},
        {"cloud disk",
         rows,
         {3},
         "Status:Unknown Device:Disk Node Name:(null) User Name:user@example.net"},
        {"node not found", rows, {4}, ""},
        {"several", rows, {0, 2}, "2 objects selected"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nbx::ui::NodeStatusTexts(c.rows, c.selected), (StatusTexts{c.part0, ""}))
            << c.name;
    }
}

// ---- Node view ---------------------------------------------------------------------------

TEST(NodeViewTest, IconsImagesAndGroupsByKind) {
    struct Case {
        int nodeType;
        int deviceType;
        int image;
        int frameIcon;
        int group;
    } const cases[] = {
        {1, 0, 2, 128, 2},  {1, 1, 3, 191, 2},  {1, 2, 4, 193, 2},  {1, 3, 5, 187, 2},
        {1, 4, 6, 188, 2},  {1, 5, 7, 192, 2},  {1, 6, 8, 189, 2},  {1, 7, 9, 190, 2},
        {1, 8, 10, 194, 2}, {1, 9, 11, 231, 1}, {1, 10, 2, 128, 2}, {1, -1, 2, 128, 2},
        {2, 0, 2, 196, 2},  {2, 6, 2, 196, 2},  {0, 3, 2, 128, 2},  {3, 9, 2, 128, 1},
    };
    for (const auto& c : cases) {
        const CNbxNode node = Node(c.nodeType, c.deviceType, "n");
        SCOPED_TRACE(testing::Message() << c.nodeType << "/" << c.deviceType);
        EXPECT_EQ(nbx::ui::NodeImage(node), c.image);
        EXPECT_EQ(nbx::ui::NodeFrameIconResource(node), c.frameIcon);
        EXPECT_EQ(nbx::ui::NodeGroup(node), c.group);
    }
}

TEST(NodeViewTest, AcceptableNewTitles) {
    struct Case {
        const char* oldTitle;
        const char* newTitle;
        bool taken;
        bool ok;
    } const cases[] = {
        {"Phone", "Phone 2", false, true},   {"Phone", "", false, false},
        {"Phone", "PHONE", false, false},    {"Phone", "Other", true, false},
        {"Phone", "a:b", false, false},      {"Phone", "..", false, false},
        {"Phone", "a/b", false, false},      {"Äpfel", "äpfel", false, false},
        {"Phone", "Phone (2)", false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nbx::ui::IsAcceptableNodeTitle(c.oldTitle, c.newTitle, c.taken), c.ok)
            << c.oldTitle << " -> " << c.newTitle;
    }
}

}  // namespace
