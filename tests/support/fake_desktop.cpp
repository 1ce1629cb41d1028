#include "support/fake_desktop.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <vector>

namespace nbx::test {

namespace {

std::string g_root;

struct Editor {
    const char* name;
    const char* script;  // after the common lines; "$f" is the file
};

// wait_for MARKER: up to two minutes, and not beyond the desktop's end or the test's.
constexpr const char* kScriptStart = R"(#!/bin/sh
wait_for() {
    n=0
    while [ ! -e "$1" ] && [ ! -e "$STOP" ] && [ -d "$ROOT" ] && kill -0 "$OWNER" 2>/dev/null &&
        [ $n -lt 2400 ]; do
        sleep 0.05
        n=$((n + 1))
    done
}
mark() { printf '%s\n' "$2" > "$1.tmp" && mv "$1.tmp" "$1"; }
f=$1
)";

const Editor kEditors[] = {
    {editors::kChange, "printf 'edited\\n' >> \"$f\"\n"},
    {editors::kKeep, "mark \"$f.started\" $$\nwait_for \"$f.quit\"\n"},
    // The holder opens the file for reading only, and writes it, if told, by a second open.
    {editors::kHandOff, R"(echo launched >> "$f.launches"
(
    exec 3<"$f"
    mark "$f.holding" held
    wait_for "$f.go"
    if [ -e "$f.change" ]; then printf 'edited\n' >> "$f"; fi
    exec 3<&-
) </dev/null >/dev/null 2>&1 &
)"},
    {editors::kRewrite, R"(echo launched >> "$f.launches"
(
    wait_for "$f.go"
    if [ -e "$f.byrename" ]; then
        printf 'rewritten\n' > "$f.new" && mv "$f.new" "$f"
    else
        printf 'rewritten\n' > "$f"
    fi
) </dev/null >/dev/null 2>&1 &
)"},
    {editors::kLeaveHeld, R"((
    exec 3<"$f"
    mark "$f.held" held
    wait_for "$f.release"
) </dev/null >/dev/null 2>&1 &
wait_for "$f.held"
mark "$f.started" $$
wait_for "$f.quit"
)"},
    {editors::kView, "mark \"$f.viewed\" \"$*\"\n"},
};

void Write(const std::string& path, const std::string& content, mode_t mode = 0644) {
    WriteFile(path, content);
    ::chmod(path.c_str(), mode);
}

std::string TypeOf(const std::string& name) {
    return "application/x-nbxtest-" + name;
}

}  // namespace

const std::string& FakeDesktop::Root() {
    return g_root;
}

void FakeDesktop::SetUp() {
    char pattern[] = "/tmp/nbx-monitor-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    g_root = pattern;
    const std::string& root = g_root;
    for (const char* folder : {"/data/applications", "/data/mime/packages", "/config", "/sys/share",
                               "/sys/etc", "/state", "/cache", "/tmp", "/bin", "/files"}) {
        std::filesystem::create_directories(root + folder);
    }
    ::mkdir((root + "/run").c_str(), 0700);
    ::setenv("HOME", root.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root + "/data").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    ::setenv("XDG_DATA_DIRS", (root + "/sys/share").c_str(), 1);
    ::setenv("XDG_CONFIG_DIRS", (root + "/sys/etc").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (root + "/state").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
    ::setenv("TMPDIR", (root + "/tmp").c_str(), 1);
    // GIO on its own: no virtual file systems or settings daemons over the bus, no display.
    ::setenv("GIO_USE_VFS", "local", 1);
    ::setenv("GSETTINGS_BACKEND", "memory", 1);
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    ::unsetenv("XDG_CURRENT_DESKTOP");

    std::string types = R"(<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
)";
    std::string defaults = "[Default Applications]\n";
    std::vector<std::pair<std::string, std::string>> programs;  // name, Exec
    const std::string prelude = std::string(kScriptStart) + "ROOT='" + root + "'\nSTOP='" + root +
                                "/stop'\nOWNER=" + std::to_string(::getpid()) + "\n";
    for (const Editor& editor : kEditors) {
        const std::string program = root + "/bin/" + editor.name;
        Write(program, prelude + editor.script, 0755);
        programs.emplace_back(editor.name, program + " %f");
    }
    programs.emplace_back(editors::kXWindow, MonitorHelper() + " xwindow %f " + root + "/stop");
    for (const auto& [name, exec] : programs) {
        Write(root + "/data/applications/nbxtest-" + name + ".desktop",
              "[Desktop Entry]\nType=Application\nName=Test editor " + name + "\nExec=" + exec +
                  "\nMimeType=" + TypeOf(name) + ";\n");
        defaults += TypeOf(name) + "=nbxtest-" + name + ".desktop;\n";
    }
    for (const auto& [name, exec] : programs) {
        types += "  <mime-type type=\"" + TypeOf(name) + "\"><comment>" + name +
                 "</comment><glob pattern=\"*.nbx" + name + "\"/></mime-type>\n";
    }
    types += "  <mime-type type=\"" + TypeOf(editors::kNone) +
             "\"><comment>none</comment><glob pattern=\"*.nbxnone\"/></mime-type>\n";
    types += "</mime-info>\n";
    Write(root + "/data/mime/packages/nbxtest.xml", types);
    Write(root + "/config/mimeapps.list", defaults);
    ASSERT_EQ(Run({NBX_UPDATE_MIME_DATABASE, root + "/data/mime"}), 0);
    Write(ArgumentsRecorder(), prelude + "mark \"$0.ran\" \"$(printf '%s\\n' \"$@\")\"\n", 0755);

    // A session bus of its own: the portal's name on it is the tests' to give.
    Write(root + "/bus.conf", R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=)" + root + R"(/run/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)");
    // Ended with the test, however it ends: it holds the test's output open.
    bus_ = Spawn({NBX_SETPRIV, "--pdeathsig", "TERM", "--", NBX_DBUS_DAEMON,
                  "--config-file=" + root + "/bus.conf", "--nofork", "--print-address=1"});
    const std::string address = ReadLine(bus_);
    ASSERT_FALSE(address.empty()) << "dbus-daemon did not start";
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
}

void FakeDesktop::TearDown() {
    Touch(g_root + "/stop");
    if (bus_.pid > 0) {
        ::kill(bus_.pid, SIGTERM);
        Wait(bus_);
    }
    if (::testing::UnitTest::GetInstance()->failed_test_count() == 0) {
        std::error_code ec;
        std::filesystem::remove_all(g_root, ec);
    }
}

std::string FakeDesktop::MakeFile(const std::string& name, const std::string& editor,
                                  const std::string& content) {
    const std::string path = Files() + "/" + name + ".nbx" + editor;
    WriteFile(path, content);
    return path;
}

std::string ArgumentsRecorder() {
    return FakeDesktop::Root() + "/bin/recorder";
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds bound) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

void Touch(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
        ::close(fd);
    }
}

FakePortal::FakePortal(const std::string& record) {
    child_ = Spawn({MonitorHelper(), "portal", record});
    ready_ = ReadLine(child_) == "ready";
}

FakePortal::~FakePortal() {
    Wait(child_);  // ends when its input closes
}

FakeDisplay::FakeDisplay() {
    child_ = Spawn({NBX_SETPRIV, "--pdeathsig", "TERM", "--", NBX_XVFB, "-displayfd", "1",
                    "-nolisten", "tcp", "-screen", "0", "640x480x24"});
    const std::string number = ReadLine(child_);
    if (!number.empty()) {
        name_ = ":" + number;
        ::setenv("DISPLAY", name_.c_str(), 1);
    }
}

FakeDisplay::~FakeDisplay() {
    ::unsetenv("DISPLAY");
    if (child_.pid > 0) {
        ::kill(child_.pid, SIGTERM);
        Wait(child_);
    }
}

std::string MonitorHelper() {
    return NBX_MONITOR_HELPER;
}

}  // namespace nbx::test
