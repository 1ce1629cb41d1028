#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_lock.h"

struct sqlite3;

// A query's rows in SQLite's order; each maps column name to text. title_name arrives decoded.
using QueryRow = std::map<std::string, std::string>;
using QueryResult = std::vector<QueryRow>;

// Doubles each single quote, for a text value between single quotes in a statement.
std::string QuoteSql(std::string_view text);

// The node database "NimbexShellDB" in the data folder, schema version 2, shared by every
// process of the user. Every statement, and every transaction as a whole, runs under the lock
// file "NimbexShellDbMutex" beside it, so two processes never interleave their transactions.
// A database of another shape or version is copied to a backup file before a new one
// replaces it; one that cannot be read (busy, an input/output error) fails the open. Thread-safe;
// titles go into statements escaped with EscapeUrlText.
class CSQLiteCom {
public:
    static constexpr int kSchemaVersion = 2;
    static constexpr const char* kFileName = "NimbexShellDB";
    static constexpr const char* kLockName = "NimbexShellDbMutex";

    // The process's database, opened on first use; nullptr when it could not be opened (the
    // open is tried once until ReleaseInstance).
    static CSQLiteCom* GetInstance();
    // Closes and forgets the process's database; the next GetInstance opens it again. For the
    // end of shut-down, and for tests that point the data folder elsewhere.
    static void ReleaseInstance();

    ~CSQLiteCom();
    CSQLiteCom(const CSQLiteCom&) = delete;
    CSQLiteCom& operator=(const CSQLiteCom&) = delete;

    bool OpenDatabase();
    void CloseDatabase();
    bool ExecuteSql(const std::string& sql, QueryResult* result = nullptr);

    bool InsertNodeFullInfo(int node_type, int device_type, const std::string& login,
                            const std::string& password, const std::string& nbx_proxy,
                            const std::string& node_name, const std::string& root_dir,
                            const std::string& title, int sort_style, int view_style,
                            int thumbnail_width, int thumbnail_height);
    bool UpdateNodeInfoByTitleName(int node_type, int device_type, const std::string& login,
                                   const std::string& password, const std::string& nbx_proxy,
                                   const std::string& node_name, const std::string& root_dir,
                                   const std::string& new_title, const std::string& current_title);
    bool UpdateNodeViewInfoByTitleName(int sort_style, int view_style, int thumbnail_width,
                                       int thumbnail_height, const std::string& title);
    bool DeleteNodeFullInfoByTitleName(const std::string& title);
    bool SelectAllNodesFullInfo(QueryResult& result);

    const std::string& Path() const { return path_; }
    // The backup made by the last replacement in this process, or empty.
    const std::string& BackupPath() const { return backup_path_; }

private:
    explicit CSQLiteCom(const std::string& folder);
    enum class SchemaCheck { Current, Other, Unreadable };
    bool Connect();
    SchemaCheck CheckSchema();
    // ExecuteSql's SQLite result code.
    int Execute(const std::string& sql, QueryResult* result);
    bool KeepBackup();
    bool RunTransaction(std::initializer_list<std::string> statements);

    sqlite3* db_ = nullptr;  // guarded by lock_
    std::unique_ptr<nbx::FileLock> lock_;
    std::string path_;
    std::string backup_path_;
};
