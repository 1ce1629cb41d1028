#include "platform/desktop_launcher.h"

#include "platform/app_window.h"
#include "platform/launch.h"

#include <fcntl.h>
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace Utils {

namespace {

// The portal's chooser answers at once with a request handle and shows itself on its own; the
// time-out only covers the portal's start.
constexpr int kPortalTimeoutMs = 15000;

bool Fail(std::string* error, const std::string& reason, const GError* gerror = nullptr) {
    if (error != nullptr) {
        *error = reason;
        if (gerror != nullptr) {
            *error += ": ";
            *error += gerror->message;
        }
    }
    return false;
}

void KeepFirstPid(GDesktopAppInfo*, GPid pid, gpointer data) {
    auto* first = static_cast<pid_t*>(data);
    if (*first <= 0) {
        *first = pid;
    }
}

// The desktop portal's "open with" dialog for the file. Its answer comes later and is the
// portal's to act on; there is no process of ours to watch.
bool OpenWithChooser(const std::string& path, std::string* error) {
    g_autoptr(GError) gerror = nullptr;
    g_autoptr(GDBusConnection) bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &gerror);
    if (bus == nullptr) {
        return Fail(error, "no application for the file, and no session bus for a chooser", gerror);
    }
    // The portal wants the file itself, not its name, so that it cannot be swapped under it.
    const int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0) {
        return Fail(error, "cannot open the file for the chooser");
    }
    g_autoptr(GUnixFDList) fds = g_unix_fd_list_new();
    const int index = g_unix_fd_list_append(fds, fd, &gerror);
    ::close(fd);
    if (index < 0) {
        return Fail(error, "cannot pass the file to the chooser", gerror);
    }
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "ask", g_variant_new_boolean(TRUE));
    // A sandboxed application that the user picks may then save the file.
    g_variant_builder_add(&options, "{sv}", "writable", g_variant_new_boolean(TRUE));
    g_autoptr(GVariant) reply = g_dbus_connection_call_with_unix_fd_list_sync(
        bus, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
        "org.freedesktop.portal.OpenURI", "OpenFile",
        g_variant_new("(sha{sv})", "", index, &options), G_VARIANT_TYPE("(o)"),
        G_DBUS_CALL_FLAGS_NONE, kPortalTimeoutMs, fds, nullptr, nullptr, &gerror);
    if (reply == nullptr) {
        return Fail(error, "no application for the file, and the chooser failed", gerror);
    }
    return true;
}

// Starts the default application of the file. With `pid`, the process is left to be reaped
// and its id (or -1 for one of D-Bus or the chooser's) goes there; without, nothing remains.
bool Launch(const std::string& path, pid_t* pid, std::string* error) {
    g_autoptr(GError) gerror = nullptr;
    g_autoptr(GFile) file = g_file_new_for_path(path.c_str());
    g_autoptr(GFileInfo) info = g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                                  G_FILE_QUERY_INFO_NONE, nullptr, &gerror);
    if (info == nullptr) {
        return Fail(error, "cannot read the file's type", gerror);
    }
    const char* type = g_file_info_get_content_type(info);
    g_autoptr(GAppInfo) app =
        type != nullptr ? g_app_info_get_default_for_type(type, FALSE) : nullptr;
    if (app == nullptr) {
        return OpenWithChooser(path, error);
    }

    g_autofree char* uri = g_file_get_uri(file);
    GList uris{};
    uris.data = uri;
    gboolean launched = FALSE;
    if (G_IS_DESKTOP_APP_INFO(app)) {
        // Watched: the process stays our child until it is reaped, so its pid cannot be
        // reused under the pidfd. Unwatched: GLib lets it go to init, leaving nothing to reap.
        const auto flags = static_cast<GSpawnFlags>(
            G_SPAWN_SEARCH_PATH | (pid != nullptr ? G_SPAWN_DO_NOT_REAP_CHILD : 0));
        launched = g_desktop_app_info_launch_uris_as_manager(
            G_DESKTOP_APP_INFO(app), &uris, nullptr, flags, nullptr, nullptr,
            pid != nullptr ? KeepFirstPid : nullptr, pid, &gerror);
    } else {
        launched = g_app_info_launch_uris(app, &uris, nullptr, &gerror);
    }
    if (!launched) {
        return Fail(error, std::string("cannot start ") + g_app_info_get_id(app), gerror);
    }
    return true;
}

bool RunProgram(const std::string& path, const std::string& parameters, std::string* error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || ::access(path.c_str(), X_OK)) {
        return Fail(error, "not a program that can be run with parameters");
    }
    g_autoptr(GError) gerror = nullptr;
    g_auto(GStrv) words = nullptr;
    if (!g_shell_parse_argv(parameters.c_str(), nullptr, &words, &gerror)) {
        return Fail(error, "cannot split the parameters", gerror);
    }
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (char** word = words; *word != nullptr; ++word) {
        argv.push_back(*word);
    }
    argv.push_back(nullptr);
    if (!g_spawn_async(nullptr, argv.data(), nullptr, G_SPAWN_DEFAULT, nullptr, nullptr, nullptr,
                       &gerror)) {
        return Fail(error, "cannot start the program", gerror);
    }
    return true;
}

}  // namespace

}  // namespace Utils

namespace nbx {

void InstallDesktopLauncher() {
    static const Utils::DesktopLauncher launcher{&Utils::Launch, &Utils::RunProgram,
                                                 &XcbRaiseWindowOfProcess};
    Utils::SetDesktopLauncher(&launcher);
}

}  // namespace nbx
