#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace nbx::test {

// A fresh folder per test that every XDG variable, HOME and TMPDIR point into, so nothing a
// test does reaches the user's own files. Removed again unless the test failed.
class TempHome : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Root() const { return root_; }
    std::string DataDir() const { return root_ + "/data/nimbexshell"; }
    std::string StateDir() const { return root_ + "/state/nimbexshell"; }
    // Instead of SetUp's fresh folder: a home the test program set up once for all its tests
    // (its environment already points there), left in place at the end.
    void AdoptHome(const std::string& root) {
        root_ = root;
        adopted_ = true;
    }

private:
    std::string root_;
    bool adopted_ = false;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);

// A child process with its standard input and output on pipes; the environment is inherited.
struct Child {
    pid_t pid = -1;
    int in = -1;   // the child's standard input
    int out = -1;  // the child's standard output
};
Child Spawn(const std::vector<std::string>& argv);
// One line of the child's output, without its line end; empty at end of output.
std::string ReadLine(Child& child);
void CloseInput(Child& child);
// The exit status, or -1 when it did not exit normally.
int Wait(Child& child);
// Runs to the end; the exit status.
int Run(const std::vector<std::string>& argv);

// Whether the process runs; a zombie that nobody has reaped yet has stopped serving, so it
// counts as gone.
bool ProcessAlive(pid_t pid);
// Waits up to `grace` for a process that was asked to end, then kills it.
void AwaitEndOrKill(pid_t pid, std::chrono::seconds grace);
// The end of a (log) file, for a failure message.
std::string FileTail(const std::string& path, std::size_t bytes = 2000);

// The helper program that tests start as a second process.
std::string HelperPath();

// Polls the condition until it holds or the limit passes, for threads that post no event a
// test could wait on; true when it held.
template <class F>
bool Eventually(F done, std::chrono::milliseconds limit = std::chrono::seconds(60)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace nbx::test
