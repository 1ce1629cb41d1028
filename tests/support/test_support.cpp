#include "support/test_support.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace nbx::test {

void TempHome::SetUp() {
    char pattern[] = "/tmp/nbx-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    root_ = pattern;
    ::setenv("HOME", root_.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root_ + "/data").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (root_ + "/state").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root_ + "/config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (root_ + "/run").c_str(), 1);
    ::setenv("TMPDIR", (root_ + "/tmp").c_str(), 1);
    std::filesystem::create_directories(root_ + "/run");
    std::filesystem::create_directories(root_ + "/tmp");
}

void TempHome::TearDown() {
    if (!adopted_ && !HasFailure()) {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

Child Spawn(const std::vector<std::string>& argv) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    Child child;
    if (posix_spawn(&child.pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
        child.pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    child.in = in[1];
    child.out = out[0];
    return child;
}

std::string ReadLine(Child& child) {
    std::string line;
    char c;
    while (::read(child.out, &c, 1) == 1 && c != '\n') {
        line += c;
    }
    return line;
}

void CloseInput(Child& child) {
    if (child.in >= 0) {
        ::close(child.in);
        child.in = -1;
    }
}

int Wait(Child& child) {
    CloseInput(child);
    if (child.out >= 0) {
        ::close(child.out);
        child.out = -1;
    }
    int status = 0;
    if (child.pid <= 0 || ::waitpid(child.pid, &status, 0) != child.pid) {
        return -1;
    }
    child.pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Run(const std::vector<std::string>& argv) {
    Child child = Spawn(argv);
    return Wait(child);
}

bool ProcessAlive(pid_t pid) {
    const std::string status = ReadFile("/proc/" + std::to_string(pid) + "/status");
    const std::size_t at = status.find("State:");
    if (at == std::string::npos) {
        return false;
    }
    const std::size_t state = status.find_first_not_of(" \t", at + 6);
    if (state == std::string::npos) {
        return false;
    }
    if (status[state] != 'Z') {
        return true;
    }
    // A leader that has ended while its other threads still tear down shows as a zombie, yet
    // the process keeps its files, listening sockets included, until the last thread is gone.
    const std::size_t threads = status.find("Threads:");
    return threads != std::string::npos && std::atoi(status.c_str() + threads + 8) > 1;
}

void AwaitEndOrKill(pid_t pid, std::chrono::seconds grace) {
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (ProcessAlive(pid) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ProcessAlive(pid)) {
        ::kill(pid, SIGKILL);
    }
}

std::string FileTail(const std::string& path, std::size_t bytes) {
    const std::string text = ReadFile(path);
    return text.size() > bytes ? text.substr(text.size() - bytes) : text;
}

std::string HelperPath() {
    return NBX_TEST_HELPER;
}

}  // namespace nbx::test
