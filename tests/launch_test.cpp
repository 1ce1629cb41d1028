#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "monitor/file_monitor.h"
#include "platform/app_window.h"
#include "platform/launch.h"
#include "support/fake_desktop.h"
#include "support/test_support.h"

using nbx::test::Exists;
using nbx::test::FakeDesktop;
using nbx::test::ReadFile;
using nbx::test::Touch;
using nbx::test::WaitUntil;
namespace editors = nbx::test::editors;

namespace {

// The fake desktop is registered by monitor_test.cpp, in the same program.

std::string ReadWhenThere(const std::string& path) {
    EXPECT_TRUE(WaitUntil([&] { return Exists(path); })) << path;
    return ReadFile(path);
}

// A connection of the test's own to the fake display.
class X {
public:
    X() : c_(xcb_connect(nullptr, nullptr)) {
        if (xcb_connection_has_error(c_) == 0) {
            root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
        }
    }
    ~X() { xcb_disconnect(c_); }
    bool Ok() const { return root_ != XCB_NONE; }
    xcb_connection_t* c() const { return c_; }
    xcb_window_t Root() const { return root_; }

    xcb_atom_t Atom(const char* name) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            c_, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
            nullptr);
        const xcb_atom_t atom = reply != nullptr ? reply->atom : XCB_NONE;
        std::free(reply);
        return atom;
    }
    void SetWindows(xcb_window_t window, const char* property, std::vector<xcb_window_t> values) {
        xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window, Atom(property), XCB_ATOM_WINDOW, 32,
                            static_cast<std::uint32_t>(values.size()), values.data());
    }
    xcb_window_t Focus() {
        xcb_get_input_focus_reply_t* reply =
            xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr);
        const xcb_window_t focus = reply != nullptr ? reply->focus : XCB_NONE;
        std::free(reply);
        return focus;
    }

private:
    xcb_connection_t* c_;
    xcb_window_t root_ = XCB_NONE;
};

// An editor with a window, started directly; ended through its ".quit" marker.
struct WindowedEditor {
    static inline int made = 0;
    std::string path = FakeDesktop::MakeFile("windowed " + std::to_string(++made), "data");
    nbx::test::Child child = nbx::test::Spawn(
        {nbx::test::MonitorHelper(), "xwindow", path, FakeDesktop::Root() + "/stop"});
    xcb_window_t window = static_cast<xcb_window_t>(std::stoul(ReadWhenThere(path + ".window")));
    ~WindowedEditor() {
        Touch(path + ".quit");
        nbx::test::Wait(child);
    }
};

}  // namespace

// --- Opening files ----------------------------------------------------------------------------

TEST(LaunchTest, OpensAFileInTheApplicationOfItsType) {
    // Every character a shell or a URI would make something of.
    const std::string path = FakeDesktop::MakeFile("it's \"a\" $(name) 100% #1", editors::kView);
    std::string error;
    ASSERT_TRUE(Utils::ShellExecuteCommand(path, {}, &error)) << error;
    EXPECT_EQ(ReadWhenThere(path + ".viewed"), path + "\n");
}

TEST(LaunchTest, NeverRunsTheFileItOpens) {
    const std::string path =
        FakeDesktop::MakeFile("runnable", editors::kView, "#!/bin/sh\n: > \"$0.ran\"\n");
    ASSERT_EQ(::chmod(path.c_str(), 0755), 0);
    ASSERT_TRUE(Utils::ShellExecuteCommand(path));
    EXPECT_EQ(ReadWhenThere(path + ".viewed"), path + "\n");
    EXPECT_FALSE(Exists(path + ".ran"));
}

TEST(LaunchTest, RunsAProgramWithItsParameters) {
    const std::string program = nbx::test::ArgumentsRecorder();
    std::string error;
    ASSERT_TRUE(Utils::ShellExecuteCommand(program, "--mode 'a b' \"c d\" e", &error)) << error;
    EXPECT_EQ(ReadWhenThere(program + ".ran"), "--mode\na b\nc d\ne\n");

    const std::string document = FakeDesktop::MakeFile("not a program", editors::kView);
    EXPECT_FALSE(Utils::ShellExecuteCommand(document, "--mode", &error));
    EXPECT_FALSE(Utils::ShellExecuteCommand(program, "'unbalanced", &error));
}

TEST(LaunchTest, HandsOverTheApplicationsProcess) {
    const std::string path = FakeDesktop::MakeFile("process", editors::kKeep);
    Utils::LaunchedProcess process;
    std::string error;
    ASSERT_TRUE(Utils::CreateProcessCommand(path, &process, &error)) << error;
    EXPECT_TRUE(process.started);
    EXPECT_GE(process.pidfd, 0);
    EXPECT_EQ(ReadWhenThere(path + ".started"), std::to_string(process.pid) + "\n");
    EXPECT_FALSE(process.Ended());

    Utils::LaunchedProcess moved = std::move(process);
    EXPECT_FALSE(process.started);
    Touch(path + ".quit");
    EXPECT_TRUE(WaitUntil([&] { return moved.Ended(); }));
    EXPECT_FALSE(moved.HasProcess());
}

TEST(LaunchTest, AFileThatCannotBeReadIsNotOpened) {
    Utils::LaunchedProcess process;
    std::string error;
    EXPECT_FALSE(
        Utils::CreateProcessCommand(FakeDesktop::Files() + "/missing.nbxchange", &process, &error));
    EXPECT_FALSE(process.started);
    EXPECT_FALSE(error.empty());
}

TEST(LaunchTest, ATypeWithoutAnApplicationGoesToTheChooser) {
    const std::string record = FakeDesktop::Root() + "/chooser-requests.txt";
    nbx::test::FakePortal portal(record);
    ASSERT_TRUE(portal.Ready());
    const std::string path = FakeDesktop::MakeFile("unknown kind", editors::kNone);

    Utils::LaunchedProcess process;
    std::string error;
    ASSERT_TRUE(Utils::CreateProcessCommand(path, &process, &error)) << error;
    EXPECT_TRUE(process.started);
    EXPECT_FALSE(process.HasProcess());
    ASSERT_TRUE(Utils::ShellExecuteCommand(path, {}, &error)) << error;
    EXPECT_EQ(ReadFile(record), path + " ask=1 writable=1\n" + path + " ask=1 writable=1\n");
}

TEST(LaunchTest, WithoutAChooserATypeWithoutAnApplicationFails) {
    const std::string path = FakeDesktop::MakeFile("nobody opens", editors::kNone);
    Utils::LaunchedProcess process;
    std::string error;
    EXPECT_FALSE(Utils::CreateProcessCommand(path, &process, &error));
    EXPECT_FALSE(process.started);
    EXPECT_NE(error.find("chooser"), std::string::npos) << error;
    EXPECT_FALSE(Utils::ShellExecuteCommand(path, {}, &error));
}

// --- Raising windows --------------------------------------------------------------------------

TEST(AppWindowTest, FocusesTheWindowWhereNoWindowManagerRuns) {
    nbx::test::FakeDisplay display;
    ASSERT_FALSE(display.Name().empty());
    WindowedEditor editor;
    X x;
    ASSERT_TRUE(x.Ok());
    EXPECT_NE(x.Focus(), editor.window);

    std::uint32_t window = 0;
    EXPECT_EQ(nbx::RaiseWindowOfProcess(editor.child.pid, &window), nbx::RaiseResult::Raised);
    EXPECT_EQ(window, editor.window);
    EXPECT_EQ(x.Focus(), editor.window);
    EXPECT_EQ(nbx::RaiseWindowOfProcess(::getpid()), nbx::RaiseResult::NoWindow);
}

TEST(AppWindowTest, AsksTheWindowManagerAsAPagerDoes) {
    nbx::test::FakeDisplay display;
    ASSERT_FALSE(display.Name().empty());
    WindowedEditor editor;
    // The test is the window manager: it redirects the root's requests and names its client.
    X wm;
    ASSERT_TRUE(wm.Ok());
    const std::uint32_t redirect = XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    xcb_generic_error_t* refused = xcb_request_check(
        wm.c(),
        xcb_change_window_attributes_checked(wm.c(), wm.Root(), XCB_CW_EVENT_MASK, &redirect));
    ASSERT_EQ(refused, nullptr);
    const xcb_window_t check = xcb_generate_id(wm.c());
    xcb_create_window(wm.c(), XCB_COPY_FROM_PARENT, check, wm.Root(), 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    wm.SetWindows(check, "_NET_SUPPORTING_WM_CHECK", {check});
    wm.SetWindows(wm.Root(), "_NET_SUPPORTING_WM_CHECK", {check});
    wm.SetWindows(wm.Root(), "_NET_CLIENT_LIST", {check, editor.window});
    const xcb_atom_t activeWindow = wm.Atom("_NET_ACTIVE_WINDOW");
    wm.Focus();  // a round trip: the server has it all

    EXPECT_EQ(nbx::RaiseWindowOfProcess(editor.child.pid), nbx::RaiseResult::Raised);
    bool asked = false;
    EXPECT_TRUE(WaitUntil([&] {
        while (xcb_generic_event_t* event = xcb_poll_for_event(wm.c())) {
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
                asked = asked || (message->type == activeWindow &&
                                  message->window == editor.window && message->data.data32[0] == 2);
            }
            std::free(event);
        }
        return asked;
    }));
}

TEST(AppWindowTest, WithoutADisplayThereIsNothingToRaise) {
    ::unsetenv("DISPLAY");
    EXPECT_EQ(nbx::RaiseWindowOfProcess(::getpid()), nbx::RaiseResult::NoDisplay);
}

TEST(MonitorActivate, BringsTheEditorOfTheFileToTheFront) {
    nbx::test::FakeDisplay display;
    ASSERT_FALSE(display.Name().empty());
    const std::string path = FakeDesktop::MakeFile("edited with a window", editors::kXWindow);
    Utils::LaunchedProcess process;
    std::string error;
    ASSERT_TRUE(Utils::CreateProcessCommand(path, &process, &error)) << error;
    const pid_t pid = process.pid;
    CNbxFileMonitor monitor(CNbxNode(NodeSettings{.node_type = 2, .node_name = "share"}), path,
                            "/docs/edited", std::move(process));
    const auto window = static_cast<xcb_window_t>(std::stoul(ReadWhenThere(path + ".window")));
    X x;
    ASSERT_TRUE(x.Ok());

    EXPECT_TRUE(monitor.ActivateApplication());
    EXPECT_EQ(x.Focus(), window);

    monitor.MarkHandled();
    EXPECT_FALSE(monitor.ActivateApplication()) << "a closed file has no application to show";
    Touch(path + ".quit");
    EXPECT_TRUE(WaitUntil([&] { return monitor.UpdateStatus() == FMS_HANDLED && pid > 0; }));
}
