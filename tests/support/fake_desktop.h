#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>
#include <chrono>
#include <functional>
#include <string>

#include "support/test_support.h"

namespace nbx::test {

// A desktop of the test process's own, set up once before its first test: the XDG folders
// (nothing of the system's applications and types is seen), fake editors registered as the
// default applications of test types (extension "nbx<name>", type
// "application/x-nbxtest-<name>") by a desktop file, mimeapps.list and the MIME database,
// and a private session bus. The editors are shell scripts that take turns with the test
// through marker files beside the edited file ("<file>.quit", ".go" and so on) and end by
// themselves once the desktop is torn down.
class FakeDesktop : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

    static const std::string& Root();
    // Where the tests put the files they open.
    static std::string Files() { return Root() + "/files"; }
    // A new file "<name>.nbx<editor>" in Files() with the content.
    static std::string MakeFile(const std::string& name, const std::string& editor,
                                const std::string& content = "original\n");

private:
    Child bus_;
};

// The fake editors, by the name their type and extension carry.
namespace editors {
inline constexpr const char* kChange = "change";        // appends a line, exits at once
inline constexpr const char* kKeep = "keep";            // writes $$ to .started, exits at .quit
inline constexpr const char* kHandOff = "handoff";      // leaves the file to a holder, exits
inline constexpr const char* kRewrite = "rewrite";      // leaves a writer behind that waits
inline constexpr const char* kLeaveHeld = "leaveheld";  // keeps a holder running after .quit
inline constexpr const char* kView = "view";            // records its arguments in .viewed
inline constexpr const char* kXWindow = "xwindow";      // shows a window until .quit
inline constexpr const char* kNone = "none";            // a type without an application
}  // namespace editors

// A program (a script in the fake desktop) that records its arguments, one a line, in
// "<program>.ran".
std::string ArgumentsRecorder();

// Polls `done` until it holds, up to a bound far beyond any wait the code has.
bool WaitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds bound = std::chrono::milliseconds(90000));
bool Exists(const std::string& path);
void Touch(const std::string& path);

// The fake desktop portal on the private bus; it records every chooser request in `record`.
class FakePortal {
public:
    explicit FakePortal(const std::string& record);
    ~FakePortal();
    bool Ready() const { return ready_; }

private:
    Child child_;
    bool ready_ = false;
};

// An X server of its own (Xvfb on a free display), which DISPLAY names while it lives.
class FakeDisplay {
public:
    FakeDisplay();
    ~FakeDisplay();
    const std::string& Name() const { return name_; }

private:
    Child child_;
    std::string name_;
};

// The helper program of these tests: "hold", "portal" and "xwindow".
std::string MonitorHelper();

}  // namespace nbx::test
