#include "platform/xdg.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace nbx::xdg {

namespace {

std::string AbsoluteEnv(const char* name) {
    const char* v = std::getenv(name);
    if (v == nullptr || v[0] != '/') {
        return {};
    }
    return v;
}

void SetError(std::string* error, const std::string& what, const std::string& path, int err) {
    if (error != nullptr) {
        *error = what + " \"" + path + "\": " + std::strerror(err);
    }
}

// A folder for private data: ours, a real folder, and closed to everybody else. A folder of ours
// whose mode is looser (an older umask) is tightened; anything else is refused.
bool EnsurePrivateFolder(const std::string& path, std::string* error) {
    if (!MakeDirs(path, 0700, error)) {
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        SetError(error, "cannot inspect", path, errno);
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        SetError(error, "not a folder", path, ENOTDIR);
        return false;
    }
    if (st.st_uid != ::getuid()) {
        SetError(error, "owned by another user", path, EPERM);
        return false;
    }
    if ((st.st_mode & 077) != 0 && ::chmod(path.c_str(), 0700) != 0) {
        SetError(error, "cannot restrict", path, errno);
        return false;
    }
    return true;
}

std::string AppFolder(const std::string& base, std::string* error) {
    const std::string path = base + "/" + kAppName;
    return EnsurePrivateFolder(path, error) ? path : std::string();
}

}  // namespace

std::string HomeDir() {
    std::string home = AbsoluteEnv("HOME");
    if (!home.empty()) {
        return home;
    }
    if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
        return pw->pw_dir;
    }
    return "/";
}

std::string DataHome() {
    std::string v = AbsoluteEnv("XDG_DATA_HOME");
    return v.empty() ? HomeDir() + "/.local/share" : v;
}

std::string StateHome() {
    std::string v = AbsoluteEnv("XDG_STATE_HOME");
    return v.empty() ? HomeDir() + "/.local/state" : v;
}

std::string ConfigHome() {
    std::string v = AbsoluteEnv("XDG_CONFIG_HOME");
    return v.empty() ? HomeDir() + "/.config" : v;
}

std::string DataDir(std::string* error) {
    return AppFolder(DataHome(), error);
}

std::string StateDir(std::string* error) {
    return AppFolder(StateHome(), error);
}

std::string ConfigDir(std::string* error) {
    const std::string path = ConfigHome() + "/" + kAppName;
    return MakeDirs(path, 0700, error) ? path : std::string();
}

std::string PrivateTempDir(std::string* error) {
    const std::string runtime = AbsoluteEnv("XDG_RUNTIME_DIR");
    if (!runtime.empty()) {
        return AppFolder(runtime, error);
    }
    std::string tmp = AbsoluteEnv("TMPDIR");
    if (tmp.empty()) {
        tmp = "/tmp";
    }
    const std::string path = tmp + "/" + kAppName + "-" + std::to_string(::getuid());
    return EnsurePrivateFolder(path, error) ? path : std::string();
}

bool MakeDirs(const std::string& path, mode_t mode, std::string* error) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            return true;
        }
        SetError(error, "not a folder", path, ENOTDIR);
        return false;
    }
    const auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirs(path.substr(0, slash), mode, error)) {
        return false;
    }
    if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST) {
        SetError(error, "cannot create", path, errno);
        return false;
    }
    return true;
}

}  // namespace nbx::xdg
