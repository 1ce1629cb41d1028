#include "nodes/sqlite_com.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "base/session_log.h"
#include "base/text_helpers.h"
#include "platform/format.h"
#include "platform/xdg.h"

using nbx::StrPrintf;

namespace {

// The statement texts are kept exactly as every version of the program writes them.
constexpr const char* kTableCheck = "SELECT * FROM sqlite_master Where type = 'table';";
constexpr const char* kVersionRead = "SELECT * FROM client_info;";
constexpr const char* kVersionWrite = "INSERT INTO client_info VALUES ( %d );";
constexpr const char* kSchemaScript =
    "DROP TABLE IF EXISTS client_info;"
    "DROP TABLE IF EXISTS node_info;"
    "DROP TABLE IF EXISTS node_view_info;"
    "CREATE TABLE client_info (  local_db_version      INTEGER NOT NULL);"
    "CREATE TABLE node_info (  node_info_id          INTEGER NOT NULL PRIMARY KEY AUTOINCREMENT,"
    "  node_type             INTEGER NOT NULL,  device_type           INTEGER NOT NULL,"
    "  login                 TEXT    NOT NULL,  password              TEXT    NOT NULL,"
    "  nbx_proxy             TEXT    NOT NULL,  node_name             TEXT    NOT NULL,"
    "  root_dir              TEXT    NOT NULL,  title_name            TEXT    NOT NULL UNIQUE);"
    "CREATE TABLE node_view_info (  node_view_info_id     INTEGER NOT NULL PRIMARY KEY "
    "AUTOINCREMENT,  node_info_id          INTEGER NOT NULL REFERENCES node_info(node_info_id),"
    "  sort_style            INTEGER NOT NULL,  view_style            INTEGER NOT NULL,"
    "  thumbnail_width       INTEGER NOT NULL,  thumbnail_height      INTEGER NOT NULL);";
constexpr const char* kInsertNode =
    "INSERT INTO node_info (  node_type,  device_type,  login,  password,  nbx_proxy,  "
    "node_name,  root_dir,  title_name) VALUES (  %d, %d, '%s', '%s', '%s', '%s', '%s', '%s');";
constexpr const char* kInsertView =
    "INSERT INTO node_view_info (  node_info_id,  sort_style,  view_style,  thumbnail_width,  "
    "thumbnail_height) SELECT node_info_id,  %d,  %d,  %d,  %d  FROM node_info  WHERE "
    "title_name = '%s';";
constexpr const char* kUpdateNode =
    "UPDATE node_info   SET node_type = %d,       device_type = %d,       login = '%s',       "
    "password = '%s',       nbx_proxy = '%s',       node_name = '%s',       root_dir = '%s',    "
    "   title_name = '%s' WHERE title_name = '%s';";
constexpr const char* kUpdateView =
    " UPDATE node_view_info    SET sort_style = %d,        view_style = %d,        "
    "thumbnail_width = %d,        thumbnail_height = %d  WHERE node_info_id = ( SELECT "
    "node_info_id   FROM node_info  WHERE title_name = '%s');";
constexpr const char* kDeleteView =
    "DELETE FROM node_view_info  WHERE node_info_id = ( SELECT node_info_id   FROM node_info  "
    "WHERE title_name = '%s');";
constexpr const char* kDeleteNode = "DELETE FROM node_info  WHERE title_name = '%s';";
constexpr const char* kSelectAll =
    "SELECT ni.*,       nvi.*  FROM node_info AS ni,       node_view_info AS nvi WHERE "
    "nvi.node_info_id = ni.node_info_id;";

// Another program (or the sqlite3 shell) may hold SQLite's own lock without ours.
constexpr int kBusyTimeoutMs = 10000;

std::mutex g_instanceMutex;
std::unique_ptr<CSQLiteCom> g_instance;
bool g_openTried = false;

int CollectRow(void* context, int columns, char** values, char** names) {
    auto* result = static_cast<QueryResult*>(context);
    QueryRow row;
    for (int i = 0; i < columns; ++i) {
        std::string value = values[i] != nullptr ? values[i] : "";
        if (std::string_view(names[i]) == "title_name") {
            value = UnescapeUrlText(value);
        }
        row[names[i]] = std::move(value);
    }
    result->push_back(std::move(row));
    return 0;
}

std::string Esc(const std::string& title) {
    return EscapeUrlText(title);
}
std::string Q(const std::string& text) {
    return QuoteSql(text);
}

bool CopyFile(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        return false;
    }
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        ::close(in);
        return false;
    }
    bool ok = true;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) {
                continue;
            }
            ok = w > 0;
            done += w > 0 ? w : 0;
        }
        if (!ok) {
            break;
        }
    }
    ok = ::fsync(out) == 0 && ok;
    ::close(out);
    ::close(in);
    if (!ok) {
        ::unlink(to.c_str());
    }
    return ok;
}

}  // namespace

std::string QuoteSql(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        out += ch;
        if (ch == '\'') {
            out += '\'';
        }
    }
    return out;
}

CSQLiteCom* CSQLiteCom::GetInstance() {
    std::lock_guard lock(g_instanceMutex);
    if (!g_openTried) {
        g_openTried = true;
        std::string error;
        const std::string folder = nbx::xdg::DataDir(&error);
        if (folder.empty()) {
            WriteLog(LogLevel::Error,
                     StrPrintf("CSQLiteCom::GetInstance(): the data folder is not usable: %s",
                               error.c_str()));
            return nullptr;
        }
        g_instance.reset(new CSQLiteCom(folder));
        if (!g_instance->OpenDatabase()) {
            g_instance.reset();
        }
    }
    return g_instance.get();
}

void CSQLiteCom::ReleaseInstance() {
    std::lock_guard lock(g_instanceMutex);
    g_instance.reset();
    g_openTried = false;
}

CSQLiteCom::CSQLiteCom(const std::string& folder)
    : lock_(std::make_unique<nbx::FileLock>(folder + "/" + kLockName)),
      path_(folder + "/" + kFileName) {}

CSQLiteCom::~CSQLiteCom() {
    CloseDatabase();
}

bool CSQLiteCom::OpenDatabase() {
    // The whole check-and-create is one step for every process: two first starts must not
    // both lay down the schema, the second dropping what the first had already written.
    nbx::FileLockGuard guard(*lock_);
    if (!guard.Held()) {
        WriteLog(LogLevel::Error, StrPrintf("CSQLiteCom::OpenDatabase(): FileLock::Lock() failed "
                                            "with arg: \"%s\"",
                                            lock_->Path().c_str()));
        return false;
    }
    if (db_ != nullptr) {
        return true;
    }
    struct stat st {};
    const bool existed = ::stat(path_.c_str(), &st) == 0;
    if (existed && (st.st_mode & 077) != 0 && st.st_uid == ::getuid()) {
        ::chmod(path_.c_str(), 0600);
    }
    if (!Connect()) {
        return false;
    }
    if (existed) {
        switch (CheckSchema()) {
            case SchemaCheck::Current:
                return true;
            case SchemaCheck::Other:
                break;
            case SchemaCheck::Unreadable:
                // Busy in another program, or a read error: what it holds is unknown, so it is
                // neither replaced nor used.
                WriteLog(LogLevel::Error,
                         StrPrintf("CSQLiteCom::OpenDatabase(): the database could not be read, so "
                                   "it was left as it is: \"%s\"",
                                   path_.c_str()));
                CloseDatabase();
                return false;
        }
    }
    if (existed && st.st_size > 0) {
        // Without a copy the old nodes would be gone for good: then the file stays as it is.
        // With one, the new database starts from an empty file, whatever the old one held.
        if (!KeepBackup()) {
            CloseDatabase();
            return false;
        }
        CloseDatabase();
        ::unlink((path_ + "-journal").c_str());
        if (::unlink(path_.c_str()) != 0 || !Connect()) {
            return false;
        }
    }
    if (!ExecuteSql(kSchemaScript) || !ExecuteSql(StrPrintf(kVersionWrite, kSchemaVersion))) {
        WriteLog(LogLevel::Error, "CSQLiteCom::OpenDatabase(): the schema could not be created!");
        CloseDatabase();
        ::unlink(path_.c_str());
        return false;
    }
    return true;
}

bool CSQLiteCom::Connect() {
    // Created by us first so that SQLite never makes it with the umask's mode.
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
    }
    if (sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        WriteLog(LogLevel::Error,
                 StrPrintf("CSQLiteCom::OpenDatabase(): sqlite3_open_v2() failed with arg: \"%s\"",
                           path_.c_str()));
        sqlite3_close(db_);
        db_ = nullptr;
        return false;
    }
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    return true;
}

CSQLiteCom::SchemaCheck CSQLiteCom::CheckSchema() {
    // Only an answer from SQLite about the file's own contents says that it is of another
    // shape: a missing table or column, or a file that is no (intact) database. Busy, locked
    // and input/output errors say nothing about it.
    const auto verdict = [](int rc) {
        return rc == SQLITE_ERROR || rc == SQLITE_NOTADB || rc == SQLITE_CORRUPT
                   ? SchemaCheck::Other
                   : SchemaCheck::Unreadable;
    };
    QueryResult tables;
    int rc = Execute(kTableCheck, &tables);
    if (rc != SQLITE_OK) {
        return verdict(rc);
    }
    if (tables.size() != 4) {
        return SchemaCheck::Other;
    }
    QueryResult version;
    rc = Execute(kVersionRead, &version);
    if (rc != SQLITE_OK) {
        return verdict(rc);
    }
    if (version.empty() ||
        std::atoi(version.front()["local_db_version"].c_str()) != kSchemaVersion) {
        return SchemaCheck::Other;
    }
    return SchemaCheck::Current;
}

bool CSQLiteCom::KeepBackup() {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::gmtime_r(&now, &tm);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tm);
    for (int n = 1; n <= 100; ++n) {
        std::string candidate =
            path_ + "." + stamp + (n > 1 ? "-" + std::to_string(n) : "") + ".bak";
        if (::access(candidate.c_str(), F_OK) == 0) {
            continue;
        }
        if (!CopyFile(path_, candidate)) {
            break;
        }
        backup_path_ = candidate;
        WriteLog(LogLevel::Warning,
                 StrPrintf("CSQLiteCom::OpenDatabase(): the database of another version was kept "
                           "as \"%s\" before it was replaced.",
                           candidate.c_str()));
        return true;
    }
    WriteLog(LogLevel::Error,
             StrPrintf("CSQLiteCom::OpenDatabase(): the database of another version could not be "
                       "kept, so it was not replaced: \"%s\"",
                       path_.c_str()));
    return false;
}

void CSQLiteCom::CloseDatabase() {
    nbx::FileLockGuard guard(*lock_);
    if (db_ != nullptr) {
        sqlite3_close(db_);
        db_ = nullptr;
    }
}

bool CSQLiteCom::ExecuteSql(const std::string& sql, QueryResult* result) {
    return Execute(sql, result) == SQLITE_OK;
}

int CSQLiteCom::Execute(const std::string& sql, QueryResult* result) {
    nbx::FileLockGuard guard(*lock_);
    if (!guard.Held() || db_ == nullptr) {
        return SQLITE_MISUSE;
    }
    char* message = nullptr;
    const int rc =
        sqlite3_exec(db_, sql.c_str(), result != nullptr ? CollectRow : nullptr, result, &message);
    if (rc != SQLITE_OK) {
        // The statement itself is not logged: it may carry a password.
        WriteLog(LogLevel::Error, StrPrintf("CSQLiteCom::ExecuteSql(): sqlite3_exec() failed! (%s)",
                                            message != nullptr ? message : sqlite3_errstr(rc)));
    }
    sqlite3_free(message);
    return rc;
}

bool CSQLiteCom::RunTransaction(std::initializer_list<std::string> statements) {
    // Held from BEGIN to COMMIT: a statement of another process between the steps would find
    // SQLite's lock taken and fail the transaction.
    nbx::FileLockGuard guard(*lock_);
    if (!ExecuteSql("BEGIN")) {
        return false;
    }
    for (const std::string& statement : statements) {
        if (!ExecuteSql(statement)) {
            ExecuteSql("ROLLBACK");
            return false;
        }
    }
    if (!ExecuteSql("COMMIT")) {
        ExecuteSql("ROLLBACK");
        return false;
    }
    return true;
}

bool CSQLiteCom::InsertNodeFullInfo(int node_type, int device_type, const std::string& login,
                                    const std::string& password, const std::string& nbx_proxy,
                                    const std::string& node_name, const std::string& root_dir,
                                    const std::string& title, int sort_style, int view_style,
                                    int thumbnail_width, int thumbnail_height) {
    return RunTransaction({StrPrintf(kInsertNode, node_type, device_type, Q(login).c_str(),
                                     Q(password).c_str(), Q(nbx_proxy).c_str(),
                                     Q(node_name).c_str(), Q(root_dir).c_str(), Esc(title).c_str()),
                           StrPrintf(kInsertView, sort_style, view_style, thumbnail_width,
                                     thumbnail_height, Esc(title).c_str())});
}

bool CSQLiteCom::UpdateNodeInfoByTitleName(
    int node_type, int device_type, const std::string& login, const std::string& password,
    const std::string& nbx_proxy, const std::string& node_name, const std::string& root_dir,
    const std::string& new_title, const std::string& current_title) {
    return ExecuteSql(StrPrintf(kUpdateNode, node_type, device_type, Q(login).c_str(),
                                Q(password).c_str(), Q(nbx_proxy).c_str(), Q(node_name).c_str(),
                                Q(root_dir).c_str(), Esc(new_title).c_str(),
                                Esc(current_title).c_str()));
}

bool CSQLiteCom::UpdateNodeViewInfoByTitleName(int sort_style, int view_style, int thumbnail_width,
                                               int thumbnail_height, const std::string& title) {
    return ExecuteSql(StrPrintf(kUpdateView, sort_style, view_style, thumbnail_width,
                                thumbnail_height, Esc(title).c_str()));
}

bool CSQLiteCom::DeleteNodeFullInfoByTitleName(const std::string& title) {
    return RunTransaction(
        {StrPrintf(kDeleteView, Esc(title).c_str()), StrPrintf(kDeleteNode, Esc(title).c_str())});
}

bool CSQLiteCom::SelectAllNodesFullInfo(QueryResult& result) {
    result.clear();
    return ExecuteSql(kSelectAll, &result);
}
