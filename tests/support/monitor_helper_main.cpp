// The other programs of the monitor tests: a process that holds a file, the desktop portal's
// chooser, and an editor with a window. Each ends with _exit, so that what GLib and xcb keep
// until the end is not reported as leaked.
#include <fcntl.h>
#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <glib-unix.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

void WaitForEndOfInput() {
    std::string line;
    while (std::getline(std::cin, line)) {
    }
}

// hold PATH r|rw|map: opens the file for reading, or reading and writing, or maps it and
// closes the descriptor; says "ready" and keeps it until its input closes.
int Hold(int argc, char** argv) {
    if (argc < 4) {
        return 2;
    }
    const std::string mode = argv[3];
    const int fd = ::open(argv[2], mode == "rw" ? O_RDWR : O_RDONLY);
    if (fd < 0) {
        return 3;
    }
    if (mode == "map") {
        if (::mmap(nullptr, 1, PROT_READ, MAP_SHARED, fd, 0) == MAP_FAILED) {
            return 3;
        }
        ::close(fd);
    }
    std::cout << "ready" << std::endl;
    WaitForEndOfInput();
    return 0;
}

constexpr const char* kPortalInterface = R"(<node>
  <interface name="org.freedesktop.portal.OpenURI">
    <method name="OpenFile">
      <arg type="s" name="parent_window" direction="in"/>
      <arg type="h" name="fd" direction="in"/>
      <arg type="a{sv}" name="options" direction="in"/>
      <arg type="o" name="handle" direction="out"/>
    </method>
  </interface>
</node>)";

std::string g_record;

void OnPortalCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                  GVariant* parameters, GDBusMethodInvocation* invocation, gpointer) {
    const gchar* parent = nullptr;
    gint32 index = -1;
    GVariant* options = nullptr;
    g_variant_get(parameters, "(&sh@a{sv})", &parent, &index, &options);
    GUnixFDList* fds =
        g_dbus_message_get_unix_fd_list(g_dbus_method_invocation_get_message(invocation));
    std::string path = "(no file)";
    if (fds != nullptr) {
        const int fd = g_unix_fd_list_get(fds, index, nullptr);
        char link[PATH_MAX];
        const ssize_t n =
            ::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), link, sizeof link);
        if (n > 0) {
            path.assign(link, static_cast<std::size_t>(n));
        }
        ::close(fd);
    }
    gboolean ask = FALSE;
    gboolean writable = FALSE;
    g_variant_lookup(options, "ask", "b", &ask);
    g_variant_lookup(options, "writable", "b", &writable);
    g_variant_unref(options);
    if (FILE* out = std::fopen(g_record.c_str(), "a")) {
        std::fprintf(out, "%s ask=%d writable=%d\n", path.c_str(), ask ? 1 : 0, writable ? 1 : 0);
        std::fclose(out);
    }
    g_dbus_method_invocation_return_value(
        invocation, g_variant_new("(o)", "/org/freedesktop/portal/desktop/request/1_0/nbx"));
}

void OnNameAcquired(GDBusConnection*, const gchar*, gpointer) {
    std::cout << "ready" << std::endl;
}

void OnNameLost(GDBusConnection*, const gchar*, gpointer) {
    std::cout << "name lost" << std::endl;
    ::_exit(4);
}

gboolean OnInput(gint, GIOCondition, gpointer loop) {
    g_main_loop_quit(static_cast<GMainLoop*>(loop));
    return G_SOURCE_REMOVE;
}

// portal RECORD: the desktop portal's OpenURI on the session bus; each OpenFile appends
// "PATH ask=N writable=N" to RECORD. Says "ready" once it has the name; ends when its input
// closes.
int Portal(int argc, char** argv) {
    if (argc < 3) {
        return 2;
    }
    g_record = argv[2];
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (bus == nullptr) {
        std::cout << "no bus: " << error->message << std::endl;
        return 3;
    }
    GDBusNodeInfo* info = g_dbus_node_info_new_for_xml(kPortalInterface, nullptr);
    static const GDBusInterfaceVTable vtable = {OnPortalCall, nullptr, nullptr, {}};
    if (g_dbus_connection_register_object(bus, "/org/freedesktop/portal/desktop",
                                          info->interfaces[0], &vtable, nullptr, nullptr,
                                          &error) == 0) {
        return 3;
    }
    g_bus_own_name_on_connection(bus, "org.freedesktop.portal.Desktop",
                                 G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE, OnNameAcquired, OnNameLost,
                                 nullptr, nullptr);
    GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
    g_unix_fd_add(0, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP), OnInput, loop);
    g_main_loop_run(loop);
    return 0;
}

// xwindow PATH STOP: an editor with a window on $DISPLAY that names its process
// (_NET_WM_PID); writes the window's id to PATH.window and ends once PATH.quit or STOP exists,
// or STOP's folder or the test that started it is gone.
int XWindow(int argc, char** argv) {
    if (argc < 4) {
        return 2;
    }
    const std::string path = argv[2];
    const std::string stop = argv[3];
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c) != 0) {
        return 3;
    }
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 200, 100, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
    const char* name = "_NET_WM_PID";
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const std::uint32_t pid = static_cast<std::uint32_t>(::getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom->atom, XCB_ATOM_CARDINAL, 32, 1,
                        &pid);
    xcb_map_window(c, window);
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    // Written whole before it appears under its name.
    const std::string id = std::to_string(window);
    if (FILE* out = std::fopen((path + ".window.tmp").c_str(), "w")) {
        std::fputs(id.c_str(), out);
        std::fclose(out);
        std::rename((path + ".window.tmp").c_str(), (path + ".window").c_str());
    }
    const std::string desktop = stop.substr(0, stop.rfind('/'));
    const pid_t test = ::getppid();
    for (int i = 0; i < 2400 && !Exists(path + ".quit") && !Exists(stop) && Exists(desktop) &&
                    ::getppid() == test;
         ++i) {
        ::usleep(50 * 1000);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string verb = argc > 1 ? argv[1] : "";
    int status = 2;
    if (verb == "hold") {
        status = Hold(argc, argv);
    } else if (verb == "portal") {
        status = Portal(argc, argv);
    } else if (verb == "xwindow") {
        status = XWindow(argc, argv);
    }
    std::cout.flush();
    ::_exit(status);
}
