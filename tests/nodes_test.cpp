#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <filesystem>

#include "base/session_log.h"
#include "base/text_helpers.h"
#include "nodes/nbx_node.h"
#include "nodes/node_list.h"
#include "nodes/sqlite_com.h"
#include "support/test_support.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Reads a database the way another program would, bypassing everything under test.
Rows Query(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    Rows rows;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_exec(
            db, sql.c_str(),
            [](void* ctx, int n, char** values, char**) {
                std::vector<std::string> row;
                for (int i = 0; i < n; ++i) {
                    row.emplace_back(values[i] != nullptr ? values[i] : "NULL");
                }
                static_cast<Rows*>(ctx)->push_back(std::move(row));
                return 0;
            },
            &rows, nullptr);
    }
    sqlite3_close(db);
    return rows;
}

bool Exec(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    const bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(db);
    return ok;
}

std::unique_ptr<CNbxNode> MakeNode(const std::string& title) {
    return std::make_unique<CNbxNode>(NodeSettings{
        .node_type = NodeType::SharedFolder,
        .device_type = DeviceKind::Unknown,
        .nbx_proxy = "http://127.0.0.1:8081",
        .node_name = "share",
        .login = "user",
        .password = "secret",
        .title_name = title,
    });
}

constexpr const char* kVersion2Tables =
    "CREATE TABLE client_info (local_db_version INTEGER NOT NULL);"
    "CREATE TABLE node_info (node_info_id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,"
    " node_type INTEGER NOT NULL, device_type INTEGER NOT NULL, login TEXT NOT NULL,"
    " password TEXT NOT NULL, nbx_proxy TEXT NOT NULL, node_name TEXT NOT NULL,"
    " root_dir TEXT NOT NULL, title_name TEXT NOT NULL UNIQUE);"
    "CREATE TABLE node_view_info (node_view_info_id INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,"
    " node_info_id INTEGER NOT NULL, sort_style INTEGER NOT NULL, view_style INTEGER NOT NULL,"
    " thumbnail_width INTEGER NOT NULL, thumbnail_height INTEGER NOT NULL);";

class NodeDatabaseTest : public nbx::test::TempHome {
protected:
    void SetUp() override {
        TempHome::SetUp();
        CSQLiteCom::ReleaseInstance();
        OpenSessionLog(Root() + "/test-log.txt");
    }
    void TearDown() override {
        CSQLiteCom::ReleaseInstance();
        CloseSessionLog();
        TempHome::TearDown();
    }
    std::string DbPath() const { return DataDir() + "/NimbexShellDB"; }
    std::string Prepare() {
        std::filesystem::create_directories(DataDir());
        return DbPath();
    }
    std::vector<std::string> Backups() const {
        std::vector<std::string> found;
        for (const auto& e : std::filesystem::directory_iterator(DataDir())) {
            if (e.path().extension() == ".bak") {
                found.push_back(e.path().string());
            }
        }
        return found;
    }
};

TEST_F(NodeDatabaseTest, FirstStartCreatesAnEmptyPrivateDatabaseOfVersion2) {
    ASSERT_FALSE(std::filesystem::exists(DataDir()));
    CNbxNodeList list;
    ASSERT_TRUE(list.LoadListFromDB());
    EXPECT_EQ(list.GetCount(), 0u);

    struct stat st {};
    ASSERT_EQ(::stat(DbPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(DataDir().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(Query(DbPath(), "SELECT local_db_version FROM client_info"), (Rows{{"2"}}));
    EXPECT_EQ(Query(DbPath(), "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name"),
              (Rows{{"client_info"}, {"node_info"}, {"node_view_info"}, {"sqlite_sequence"}}));
    EXPECT_TRUE(Backups().empty());
}

TEST_F(NodeDatabaseTest, CurrentDatabaseIsKeptAcrossRuns) {
    {
        CNbxNodeList list;
        auto node = MakeNode("kept");
        ASSERT_NE(list.AddNode(node), nullptr);
    }
    CSQLiteCom::ReleaseInstance();
    CNbxNodeList list;
    ASSERT_TRUE(list.LoadListFromDB());
    EXPECT_NE(list.lookup("kept"), nullptr);
    EXPECT_TRUE(Backups().empty());
}

TEST_F(NodeDatabaseTest, DatabaseOfAnotherShapeIsReplacedAndKeptAsABackup) {
    struct Case {
        const char* name;
        std::string sql;  // empty: the file is not a database at all
    };
    const Case cases[] = {
        {"version 1", std::string(kVersion2Tables) +
                          "INSERT INTO client_info VALUES (1);"
                          "INSERT INTO node_info VALUES (1,2,0,'l','p','http://h','n','/','old');"
                          "INSERT INTO node_view_info VALUES (1,1,0,0,48,48);"},
        {"three tables, no sequence table",
         "CREATE TABLE client_info (local_db_version INTEGER);"
         "CREATE TABLE node_info (title_name TEXT);"
         "CREATE TABLE node_view_info (sort_style INTEGER);"
         "INSERT INTO client_info VALUES (2); INSERT INTO node_info VALUES ('old');"},
        {"no version row", std::string(kVersion2Tables) +
                               "INSERT INTO node_info VALUES (1,2,0,'l','p','h','n','/','old');"},
        {"not a database", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSQLiteCom::ReleaseInstance();
        std::filesystem::remove_all(DataDir());
        const std::string path = Prepare();
        if (c.sql.empty()) {
            nbx::test::WriteFile(path, "these are somebody's notes, not a database\n");
        } else {
            ASSERT_TRUE(Exec(path, c.sql));
        }
        const std::string before = nbx::test::ReadFile(path);

        CNbxNodeList list;
        ASSERT_TRUE(list.LoadListFromDB());
        EXPECT_EQ(list.GetCount(), 0u);
        EXPECT_EQ(Query(path, "SELECT local_db_version FROM client_info"), (Rows{{"2"}}));

        const auto backups = Backups();
        ASSERT_EQ(backups.size(), 1u);
        EXPECT_EQ(nbx::test::ReadFile(backups[0]), before) << "the backup is the old file";
        EXPECT_EQ(CSQLiteCom::GetInstance()->BackupPath(), backups[0]);
    }
}

// A database that cannot be read is not known to be of another version: it keeps its nodes,
// the open fails with a record, and no backup is made.
TEST_F(NodeDatabaseTest, DatabaseThatCannotBeReadIsLeftAsItIs) {
    {
        CNbxNodeList list;
        auto node = MakeNode("kept");
        ASSERT_NE(list.AddNode(node), nullptr);
    }
    CSQLiteCom::ReleaseInstance();
    const std::string before = nbx::test::ReadFile(DbPath());
    const std::string log = Root() + "/test-log.txt";
    const char* record = "ERROR: CSQLiteCom::OpenDatabase(): the database could not be read";

    // Another program writes to it and holds SQLite's exclusive lock throughout.
    nbx::test::Child holder = nbx::test::Spawn({nbx::test::HelperPath(), "sqlite-lock", DbPath()});
    ASSERT_EQ(nbx::test::ReadLine(holder), "locked");
    EXPECT_EQ(CSQLiteCom::GetInstance(), nullptr);
    CNbxNodeList list;
    EXPECT_FALSE(list.LoadListFromDB());
    nbx::test::CloseInput(holder);
    EXPECT_EQ(nbx::test::Wait(holder), 0);
    EXPECT_NE(nbx::test::ReadFile(log).find(record), std::string::npos) << nbx::test::FileTail(log);
    EXPECT_EQ(nbx::test::ReadFile(DbPath()), before);
    EXPECT_TRUE(Backups().empty());

    // Once the other program is done, the nodes are all there.
    CSQLiteCom::ReleaseInstance();
    ASSERT_TRUE(list.LoadListFromDB());
    EXPECT_NE(list.lookup("kept"), nullptr);

    // A path that cannot be read at all: without read permission (not for root), or a folder.
    list.RemoveAllNodes();
    CSQLiteCom::ReleaseInstance();
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(DbPath().c_str(), 0), 0);
        EXPECT_EQ(CSQLiteCom::GetInstance(), nullptr);
        ASSERT_EQ(::chmod(DbPath().c_str(), 0600), 0);
        EXPECT_EQ(nbx::test::ReadFile(DbPath()), before);
        CSQLiteCom::ReleaseInstance();
    }
    const std::string moved = DbPath() + ".aside";
    std::filesystem::rename(DbPath(), moved);
    std::filesystem::create_directory(DbPath());
    nbx::test::WriteFile(DbPath() + "/inside", "x");
    EXPECT_EQ(CSQLiteCom::GetInstance(), nullptr);
    EXPECT_TRUE(std::filesystem::is_directory(DbPath()));
    EXPECT_TRUE(std::filesystem::exists(DbPath() + "/inside"));
    EXPECT_TRUE(Backups().empty());
}

TEST_F(NodeDatabaseTest, TextsWithBlanksQuotesAndJapaneseReadBackUnchanged) {
    const std::string japanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE3\x81\xAE\xE3\x83\x95\xE3\x82\xA9";
    const std::vector<std::string> titles = {"My Files", "O'Neil's \"disk\"", japanese,
                                             "a+b 100% =x", "trailing blank "};
    {
        CNbxNodeList list;
        for (const std::string& title : titles) {
            auto node = std::make_unique<CNbxNode>(NodeSettings{
                .node_type = NodeType::ServiceNode,
                .device_type = DeviceKind::Workstation,
                .nbx_proxy = "http://127.0.0.1:8081",
                .node_name = "node'" + japanese,
                .login = "o'neil@example.net",
                .password = "p'a\"ss " + japanese,
                .root_dir = "/My Storage/it's " + japanese,
                .title_name = title,
                .sort_style = 7,
                .view_style = 4,
                .thumbnail_width = 96,
                .thumbnail_height = 80,
            });
            ASSERT_NE(list.AddNode(node), nullptr) << title;
        }
    }
    EXPECT_EQ(Query(DbPath(), "SELECT title_name FROM node_info WHERE title_name LIKE 'O%'"),
              (Rows{{"O%27Neil%27s%20%22disk%22"}}))
        << "titles are stored escaped";

    CNbxNodeList list;
    ASSERT_TRUE(list.LoadListFromDB());
    ASSERT_EQ(list.GetCount(), titles.size());
    for (const std::string& title : titles) {
        const CNbxNode* node = list.lookup(title);
        ASSERT_NE(node, nullptr) << title;
        EXPECT_EQ(node->title_name, title);
        EXPECT_EQ(node->node_type, NodeType::ServiceNode);
        EXPECT_EQ(node->device_type, DeviceKind::Workstation);
        EXPECT_EQ(node->node_name, "node'" + japanese);
        EXPECT_EQ(node->login, "o'neil@example.net");
        EXPECT_EQ(node->password, "p'a\"ss " + japanese);
        EXPECT_EQ(node->root_dir, "/My Storage/it's " + japanese);
        EXPECT_EQ(node->nbx_proxy, "http://127.0.0.1:8081");
        EXPECT_EQ(node->sort_style, 7);
        EXPECT_EQ(node->view_style, 4);
        EXPECT_EQ(node->thumbnail_width, 96);
        EXPECT_EQ(node->thumbnail_height, 80);
        EXPECT_EQ(node->state, NodeState::Unknown);
    }
}

TEST_F(NodeDatabaseTest, DuplicateTitleIsRefusedWithoutWriting) {
    CNbxNodeList list;
    auto first = MakeNode("Same");
    ASSERT_NE(list.AddNode(first), nullptr);
    EXPECT_EQ(first, nullptr) << "the list took the first node";

    auto second = MakeNode("Same");
    second->password = "other";
    EXPECT_EQ(list.AddNode(second), nullptr);
    ASSERT_NE(second, nullptr) << "the caller keeps a refused node";
    EXPECT_EQ(Query(DbPath(), "SELECT password FROM node_info"), (Rows{{"secret"}}));
    EXPECT_EQ(Query(DbPath(), "SELECT count(*) FROM node_view_info"), (Rows{{"1"}}));
}

TEST_F(NodeDatabaseTest, ViewSettingsAreWrittenBackOnReload) {
    CNbxNodeList list;
    auto node = MakeNode("Pictures");
    ASSERT_NE(list.AddNode(node), nullptr);
    CNbxNode* shown = list.lookup("Pictures");
    shown->sort_style = 5;
    shown->view_style = 3;
    shown->thumbnail_width = 120;
    shown->thumbnail_height = 100;
    shown->viewModified = true;

    ASSERT_TRUE(list.LoadListFromDB());
    const CNbxNode* reloaded = list.lookup("Pictures");
    ASSERT_NE(reloaded, nullptr);
    EXPECT_EQ(reloaded->sort_style, 5);
    EXPECT_EQ(reloaded->view_style, 3);
    EXPECT_EQ(reloaded->thumbnail_width, 120);
    EXPECT_EQ(reloaded->thumbnail_height, 100);
    EXPECT_FALSE(reloaded->viewModified);
}

TEST_F(NodeDatabaseTest, ReleaseWritesOnlyWhatTheFlagsAskFor) {
    CNbxNodeList list;
    auto node = MakeNode("Docs");
    ASSERT_NE(list.AddNode(node), nullptr);
    const std::string rows =
        "SELECT password, sort_style FROM node_info JOIN node_view_info "
        "USING (node_info_id)";
    {
        CNbxNode copy(*list.lookup("Docs"));  // a copy starts without flags
        copy.password = "changed";
        copy.sort_style = 3;
    }
    EXPECT_EQ(Query(DbPath(), rows), (Rows{{"secret", "0"}}));
    {
        CNbxNode removed(*list.lookup("Docs"));
        removed.sort_style = 3;
        removed.password = "changed";
        removed.viewModified = removed.infoModified = true;
        removed.removed = true;
    }
    EXPECT_EQ(Query(DbPath(), rows), (Rows{{"secret", "0"}})) << "a removed node writes nothing";
    {
        CNbxNode info(*list.lookup("Docs"));
        info.password = "changed";
        info.sort_style = 3;
        info.infoModified = true;
    }
    EXPECT_EQ(Query(DbPath(), rows), (Rows{{"changed", "0"}}));
    {
        CNbxNode view(*list.lookup("Docs"));
        view.sort_style = 3;
        view.viewModified = true;
    }
    EXPECT_EQ(Query(DbPath(), rows), (Rows{{"changed", "3"}}))
        << "the view write-back leaves the connection settings alone";
}

TEST_F(NodeDatabaseTest, RemovingDeletesBothRowsAndAnUnknownTitleChangesNothing) {
    CNbxNodeList list;
    for (const char* title : {"one", "two"}) {
        auto node = MakeNode(title);
        ASSERT_NE(list.AddNode(node), nullptr);
    }
    list.RemoveNode("three");
    EXPECT_EQ(list.GetCount(), 2u);
    list.RemoveNode("one");
    EXPECT_EQ(list.lookup("one"), nullptr);
    EXPECT_EQ(Query(DbPath(), "SELECT title_name FROM node_info"), (Rows{{"two"}}));
    EXPECT_EQ(Query(DbPath(), "SELECT count(*) FROM node_view_info"), (Rows{{"1"}}));
}

TEST_F(NodeDatabaseTest, LoadReadsNumbersLenientlyAndOnlyNodesWithAViewRow) {
    ASSERT_TRUE(CSQLiteCom::GetInstance() != nullptr);
    ASSERT_TRUE(Exec(DbPath(),
                     "INSERT INTO node_info VALUES (1,'abc','9x','l','p','h','n','/','odd');"
                     "INSERT INTO node_view_info VALUES (1,1,'','7',' 96',48);"
                     "INSERT INTO node_info VALUES (2,2,0,'l','p','h','n','/','no%20view');"));
    CNbxNodeList list;
    ASSERT_TRUE(list.LoadListFromDB());
    ASSERT_EQ(list.GetCount(), 1u);
    const CNbxNode* node = list.lookup("odd");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->node_type, 0);
    EXPECT_EQ(node->device_type, 9);
    EXPECT_EQ(node->sort_style, 0);
    EXPECT_EQ(node->view_style, 7);
    EXPECT_EQ(node->thumbnail_width, 96);
}

TEST_F(NodeDatabaseTest, UnusableDataFolderMeansNoDatabase) {
    nbx::test::WriteFile(Root() + "/data", "a file where the folder should be");
    EXPECT_EQ(CSQLiteCom::GetInstance(), nullptr);
    CNbxNodeList list;
    EXPECT_FALSE(list.LoadListFromDB());
    auto node = MakeNode("x");
    EXPECT_EQ(list.AddNode(node), nullptr);
    EXPECT_NE(node, nullptr);
    const std::string log = nbx::test::ReadFile(Root() + "/test-log.txt");
    EXPECT_NE(log.find("ERROR: CNbxNodeList::AddNode(): CSQLiteCom::GetInstance() returned NULL!"
                       "\r\n"),
              std::string::npos)
        << log;
}

TEST_F(NodeDatabaseTest, TwoProcessesChangingNodesAtOnceLoseNoRow) {
    constexpr int kCount = 60;
    ASSERT_NE(CSQLiteCom::GetInstance(), nullptr);
    CSQLiteCom::ReleaseInstance();
    const std::string helper = nbx::test::HelperPath();
    nbx::test::Child a = nbx::test::Spawn({helper, "churn", "A", std::to_string(kCount)});
    nbx::test::Child b = nbx::test::Spawn({helper, "churn", "B", std::to_string(kCount)});
    EXPECT_EQ(nbx::test::Wait(a), 0);
    EXPECT_EQ(nbx::test::Wait(b), 0);

    Rows expected;
    for (const char* prefix : {"A", "B"}) {
        for (int i = 1; i < kCount; i += 2) {
            expected.push_back({EscapeUrlText(std::string(prefix) + "-" + std::to_string(i))});
        }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Query(DbPath(), "SELECT title_name FROM node_info ORDER BY title_name"), expected);
    EXPECT_EQ(Query(DbPath(), "SELECT count(*) FROM node_view_info"),
              (Rows{{std::to_string(expected.size())}}));
    EXPECT_EQ(Query(DbPath(),
                    "SELECT count(*) FROM node_view_info WHERE node_info_id NOT IN "
                    "(SELECT node_info_id FROM node_info)"),
              (Rows{{"0"}}));
    EXPECT_EQ(Query(DbPath(), "PRAGMA integrity_check"), (Rows{{"ok"}}));

    CNbxNodeList list;
    ASSERT_TRUE(list.LoadListFromDB());
    const CNbxNode* node = list.lookup("B-7");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->password, "pw'7");
    EXPECT_EQ(node->sort_style, 7);
}

TEST_F(NodeDatabaseTest, TwoFirstStartsAtOnceMakeOneSchema) {
    const std::string helper = nbx::test::HelperPath();
    nbx::test::Child a = nbx::test::Spawn({helper, "churn", "A", "10"});
    nbx::test::Child b = nbx::test::Spawn({helper, "churn", "B", "10"});
    EXPECT_EQ(nbx::test::Wait(a), 0);
    EXPECT_EQ(nbx::test::Wait(b), 0);
    EXPECT_EQ(Query(DbPath(), "SELECT count(*) FROM node_info"), (Rows{{"10"}}));
    EXPECT_EQ(Query(DbPath(), "SELECT local_db_version FROM client_info"), (Rows{{"2"}}));
}

class NodeListTest : public NodeDatabaseTest {
protected:
    void SetUp() override {
        NodeDatabaseTest::SetUp();
        const struct {
            const char* title;
            int node_type, device_type;
            const char* node_name;
            const char* login;
        } nodes[] = {
            {"Disk", NodeType::ServiceNode, DeviceKind::Disk, "", "me@example.net"},
            {"Phone", NodeType::ServiceNode, DeviceKind::Smartphone, "phone1", "me@example.net"},
            {"Share", NodeType::SharedFolder, DeviceKind::Unknown, "phone1", "guest"},
        };
        for (const auto& n : nodes) {
            auto node = std::make_unique<CNbxNode>(NodeSettings{.node_type = n.node_type,
                                                                .device_type = n.device_type,
                                                                .nbx_proxy = "http://h",
                                                                .node_name = n.node_name,
                                                                .login = n.login,
                                                                .password = "p",
                                                                .title_name = n.title});
            ASSERT_NE(list_.AddNode(node), nullptr);
        }
    }
    void TearDown() override {
        list_.RemoveAllNodes();
        NodeDatabaseTest::TearDown();
    }
    CNbxNodeList list_;
};

TEST_F(NodeListTest, FindNodeByNameMatchesEveryGivenFilter) {
    const struct {
        const char* name;
        int node_type, device_type;
        std::optional<std::string> node_name, login;
        std::optional<std::string> expected;
    } cases[] = {
        {"the disk by kind and login", 1, 9, std::nullopt, "me@example.net", "Disk"},
        {"all filters open: the first in order", 0, 0, std::nullopt, std::nullopt, "Disk"},
        {"node name alone", 0, 0, "phone1", std::nullopt, "Phone"},
        {"node name and shared folder", 2, 0, "phone1", std::nullopt, "Share"},
        {"strings compare exactly", 0, 0, "Phone1", std::nullopt, std::nullopt},
        {"empty string is a filter", 0, 0, "", "guest", std::nullopt},
        {"no such device kind", 0, 5, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(list_.FindNodeByName(c.node_type, c.device_type, c.node_name, c.login),
                  c.expected)
            << c.name;
    }
}

TEST_F(NodeListTest, IterationSurvivesChangesBetweenSteps) {
    std::vector<std::string> seen;
    std::string title;
    CNbxNode* node = nullptr;
    NodePosition pos = list_.GetStartPosition();
    ASSERT_TRUE(list_.GetNextNode(pos, title, node));
    seen.push_back(title);
    list_.RemoveNode("Phone");  // the next one in order
    while (list_.GetNextNode(pos, title, node)) {
        seen.push_back(title);
        EXPECT_EQ(node->title_name, title);
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"Disk", "Share"}));
    EXPECT_FALSE(list_.GetNextNode(pos, title, node));

    CNbxNodeList empty;
    NodePosition none = empty.GetStartPosition();
    EXPECT_FALSE(none);
    EXPECT_FALSE(empty.GetNextNode(none, title, node));
}

TEST(NodeRecordTest, IsNodeConfiguredByKind) {
    const struct {
        const char* name;
        int node_type, device_type;
        const char *proxy, *node_name, *login, *password;
        bool configured;
    } cases[] = {
        {"disk without node name", 1, 9, "https://d", "", "me", "pw", true},
        {"disk without password", 1, 9, "https://d", "", "me", "", false},
        {"device node complete", 1, 6, "http://h", "ws", "me", "pw", true},
        {"device node without node name", 1, 6, "http://h", "", "me", "pw", false},
        {"shared folder complete", 2, 0, "http://h", "share", "g", "pw", true},
        {"shared folder without proxy", 2, 0, "", "share", "g", "pw", false},
        {"service node of unknown device: never", 1, 0, "http://h", "n", "me", "pw", false},
        {"unknown node type and device", 3, 0, "http://h", "n", "me", "pw", false},
        {"device kind beyond the table", 1, 12, "http://h", "n", "me", "pw", true},
    };
    for (const auto& c : cases) {
        const CNbxNode node(NodeSettings{.node_type = c.node_type,
                                         .device_type = c.device_type,
                                         .nbx_proxy = c.proxy,
                                         .node_name = c.node_name,
                                         .login = c.login,
                                         .password = c.password});
        EXPECT_EQ(IsNodeConfigured(node), c.configured) << c.name;
    }
}

TEST(NodeRecordTest, DisplayNamesAndStoredStyles) {
    EXPECT_EQ(DeviceKindName(9), "Disk");
    EXPECT_EQ(DeviceKindName(5), "VirtualServer");
    EXPECT_EQ(DeviceKindName(0), "Unknown");
    EXPECT_EQ(DeviceKindName(12), "Unknown");
    EXPECT_EQ(DeviceKindName(-1), "Unknown");
    EXPECT_EQ(NodeStateName(NodeState::Online), "Online");
    EXPECT_EQ(NodeStateName(NodeState::Offline), "Offline");
    EXPECT_EQ(NodeStateName(7), "Unknown");

    const struct {
        int stored, column;
        bool descending;
    } sorts[] = {{0, 0, false}, {1, 0, true}, {2, 1, false}, {5, 2, true},
                 {6, 3, false}, {7, 3, true}, {9, 0, false}, {-1, 0, false}};
    for (const auto& s : sorts) {
        const SortOrder order = DecodeSortStyle(s.stored);
        EXPECT_EQ(order.column, s.column) << s.stored;
        EXPECT_EQ(order.descending, s.descending) << s.stored;
        if (s.stored >= 0 && s.stored <= 7) {
            EXPECT_EQ(EncodeSortStyle(order), s.stored);
        }
    }
    EXPECT_EQ(DecodeViewStyle(4), 4);
    EXPECT_EQ(DecodeViewStyle(5), 0);
    EXPECT_EQ(DecodeViewStyle(-3), 0);

    const CNbxNode disk(
        NodeSettings{.device_type = 9, .node_name = "x", .login = "me@example.net"});
    const CNbxNode share(NodeSettings{.device_type = 0, .node_name = "share1", .login = "me"});
    EXPECT_EQ(NodeAddressName(disk), "DISK_me@example.net");
    EXPECT_EQ(NodeAddressName(share), "share1");

    const CNbxNode fresh(NodeSettings{});
    EXPECT_EQ(fresh.root_dir, "/");
    EXPECT_EQ(fresh.thumbnail_width, 48);
    EXPECT_EQ(fresh.thumbnail_height, 48);
}

}  // namespace
