// A second process for the tests: the parts of the program that must be seen from two
// processes at once run here, with the parent's environment.
#include <sqlite3.h>
#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>

#include "base/session_log.h"
#include "nodes/node_list.h"
#include "nodes/sqlite_com.h"
#include "platform/file_lock.h"

namespace {

// log PATH MESSAGE [hold]: opens the log (exit 3 when it cannot), writes MESSAGE, and with
// "hold" says "ready" and keeps the log until its input closes, then writes "after hold".
int Log(int argc, char** argv) {
    if (argc < 4) {
        return 2;
    }
    if (!OpenSessionLog(argv[2])) {
        return 3;
    }
    WriteLog(LogLevel::Info, argv[3]);
    if (argc > 4 && std::strcmp(argv[4], "hold") == 0) {
        std::cout << "ready" << std::endl;
        std::string line;
        while (std::getline(std::cin, line)) {
        }
        WriteLog(LogLevel::Info, "after hold");
    }
    CloseSessionLog();
    return 0;
}

// lock PATH: takes the file lock, says "locked", holds it until its input closes.
int Lock(int argc, char** argv) {
    if (argc < 3) {
        return 2;
    }
    nbx::FileLock lock(argv[2]);
    if (!lock.Lock()) {
        return 3;
    }
    std::cout << "locked" << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    lock.Unlock();
    return 0;
}

// sqlite-lock PATH: holds an exclusive SQLite lock on the database at PATH, as another program
// writing to it would; says "locked" and keeps it until its input closes.
int SqliteLock(int argc, char** argv) {
    if (argc < 3) {
        return 2;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(argv[2], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return 3;
    }
    std::cout << "locked" << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}

// churn PREFIX COUNT: adds PREFIX-0 .. PREFIX-(COUNT-1) and removes the even ones again, each
// through its own node list as separate program runs would. Exit 4 when a step failed.
int Churn(int argc, char** argv) {
    if (argc < 4) {
        return 2;
    }
    const std::string prefix = argv[2];
    const int count = std::atoi(argv[3]);
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        CNbxNodeList list;
        const std::string title = prefix + "-" + std::to_string(i);
        auto node = std::make_unique<CNbxNode>(NodeSettings{
            .node_type = 2,
            .nbx_proxy = "http://127.0.0.1:8081",
            .node_name = "n" + std::to_string(i),
            .login = prefix,
            .password = "pw'" + std::to_string(i),
            .title_name = title,
            .sort_style = i % 8,
        });
        if (list.AddNode(node) == nullptr) {
            ++failures;
        }
        if (i % 2 == 0) {
            list.RemoveNode(title);
        }
    }
    CSQLiteCom::ReleaseInstance();
    return failures == 0 ? 0 : 4;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string verb = argc > 1 ? argv[1] : "";
    if (verb == "log") {
        return Log(argc, argv);
    }
    if (verb == "lock") {
        return Lock(argc, argv);
    }
    if (verb == "sqlite-lock") {
        return SqliteLock(argc, argv);
    }
    if (verb == "churn") {
        return Churn(argc, argv);
    }
    std::fprintf(stderr, "usage: nbx_test_helper log|lock|sqlite-lock|churn ...\n");
    return 2;
}
