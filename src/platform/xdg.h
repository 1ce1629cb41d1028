#pragma once

#include <sys/types.h>
#include <string>

// The program's folders on a freedesktop system. Variables that are unset, empty or relative
// fall back to their defaults, as the XDG base-directory rules say.
namespace nbx::xdg {

// Names the data, state and temporary folders.
inline constexpr const char* kAppName = "nimbexshell";

std::string HomeDir();
std::string DataHome();    // $XDG_DATA_HOME, else ~/.local/share
std::string StateHome();   // $XDG_STATE_HOME, else ~/.local/state
std::string ConfigHome();  // $XDG_CONFIG_HOME, else ~/.config

// The program's folders, created when missing. Empty on failure, with the reason in `error`.
std::string DataDir(std::string* error = nullptr);   // DataHome()/nimbexshell, 0700
std::string StateDir(std::string* error = nullptr);  // StateHome()/nimbexshell, 0700
// ConfigHome()/nimbexshell, created 0700 when missing (an existing one keeps its mode: the
// deployment profile may be put there by hand).
std::string ConfigDir(std::string* error = nullptr);
// $XDG_RUNTIME_DIR/nimbexshell, else $TMPDIR/nimbexshell-<uid> (TMPDIR defaults to /tmp); 0700.
// Refused unless it is a real folder (not a link) owned by this user and closed to others.
std::string PrivateTempDir(std::string* error = nullptr);

// Creates `path` and its missing parents with `mode`; true when it is a folder afterwards.
bool MakeDirs(const std::string& path, mode_t mode, std::string* error = nullptr);

}  // namespace nbx::xdg
