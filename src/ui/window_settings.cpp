#include "ui/window_settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "base/session_log.h"
#include "platform/ini.h"
#include "platform/xdg.h"

namespace nbx::ui {

namespace {

constexpr const char* kFileName = "window.ini";

// The whole text as a decimal integer within [low, high].
std::optional<int> Integer(const std::string& text, int low, int high) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::pair<int, int>> Pair(const IniFile& ini, const char* first, const char* second,
                                        int low, int high) {
    const auto a = Integer(ini.Get("Window", first), low, high);
    const auto b = Integer(ini.Get("Window", second), low, high);
    if (!a || !b) {
        return std::nullopt;
    }
    return std::make_pair(*a, *b);
}

// "250,100,120": a width that cannot be meant becomes 0, the column's default.
std::vector<int> Widths(const std::string& text) {
    std::vector<int> widths;
    if (text.empty()) {
        return widths;
    }
    std::size_t start = 0;
    while (widths.size() < 64) {
        const std::size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? comma : comma - start);
        while (!item.empty() && (item.front() == ' ' || item.front() == '\t')) {
            item.erase(0, 1);
        }
        while (!item.empty() && (item.back() == ' ' || item.back() == '\t')) {
            item.pop_back();
        }
        widths.push_back(Integer(item, 1, WindowSettings::kMaxColumnWidth).value_or(0));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    return widths;
}

std::string JoinWidths(const std::vector<int>& widths) {
    std::string text;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (i > 0) {
            text += ',';
        }
        text += std::to_string(widths[i]);
    }
    return text;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

WindowSettings ParseWindowSettings(const std::string& text) {
    IniFile ini;
    ini.Parse(text);
    WindowSettings settings;
    settings.position =
        Pair(ini, "Left", "Top", -WindowSettings::kMaxCoordinate, WindowSettings::kMaxCoordinate);
    settings.size =
        Pair(ini, "Width", "Height", WindowSettings::kMinSize, WindowSettings::kMaxSize);
    settings.maximized = Integer(ini.Get("Window", "Maximized"), 0, 1).value_or(0) == 1;
    settings.nodeViewStyle = Integer(ini.Get("NodeList", "ViewStyle"), -1, 3);
    settings.nodeColumnWidths = Widths(ini.Get("NodeList", "ColumnWidths"));
    settings.folderColumnWidths = Widths(ini.Get("FolderView", "ColumnWidths"));
    return settings;
}

std::string FormatWindowSettings(const WindowSettings& settings) {
    std::string text = "[Window]\n";
    if (settings.position) {
        text += "Left=" + std::to_string(settings.position->first) + "\n";
        text += "Top=" + std::to_string(settings.position->second) + "\n";
    }
    if (settings.size) {
        text += "Width=" + std::to_string(settings.size->first) + "\n";
        text += "Height=" + std::to_string(settings.size->second) + "\n";
    }
    text += std::string("Maximized=") + (settings.maximized ? "1" : "0") + "\n";
    text += "[NodeList]\n";
    if (settings.nodeViewStyle) {
        text += "ViewStyle=" + std::to_string(*settings.nodeViewStyle) + "\n";
    }
    if (!settings.nodeColumnWidths.empty()) {
        text += "ColumnWidths=" + JoinWidths(settings.nodeColumnWidths) + "\n";
    }
    text += "[FolderView]\n";
    if (!settings.folderColumnWidths.empty()) {
        text += "ColumnWidths=" + JoinWidths(settings.folderColumnWidths) + "\n";
    }
    return text;
}

WindowSettings MergeWindowSettings(WindowSettings older, const WindowSettings& newer) {
    if (newer.position) {
        older.position = newer.position;
    }
    if (newer.size) {
        older.size = newer.size;
        older.maximized = newer.maximized;
    }
    if (newer.nodeViewStyle) {
        older.nodeViewStyle = newer.nodeViewStyle;
    }
    if (!newer.nodeColumnWidths.empty()) {
        older.nodeColumnWidths = newer.nodeColumnWidths;
    }
    if (!newer.folderColumnWidths.empty()) {
        older.folderColumnWidths = newer.folderColumnWidths;
    }
    return older;
}

std::string WindowSettingsPath() {
    return nbx::xdg::ConfigHome() + "/" + nbx::xdg::kAppName + "/" + kFileName;
}

WindowSettings LoadWindowSettings() {
    std::FILE* file = std::fopen(WindowSettingsPath().c_str(), "rb");
    if (file == nullptr) {
        return {};
    }
    // A settings file is a few hundred bytes; anything much larger is not ours.
    std::string text(64 * 1024, '\0');
    const std::size_t read = std::fread(text.data(), 1, text.size(), file);
    std::fclose(file);
    text.resize(read);
    return ParseWindowSettings(text);
}

bool SaveWindowSettings(const WindowSettings& settings) {
    std::string error;
    const std::string folder = nbx::xdg::ConfigDir(&error);
    if (folder.empty()) {
        WriteLog(LogLevel::Error, "SaveWindowSettings(): nbx::xdg::ConfigDir() failed: " + error);
        return false;
    }
    const std::string path = folder + "/" + kFileName;
    const std::string temp = path + ".tmp-" + std::to_string(::getpid());
    const int fd =
        ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    bool ok = fd >= 0;
    if (ok) {
        ok = WriteAll(fd, FormatWindowSettings(settings));
        ok = ::close(fd) == 0 && ok;
        ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    }
    if (!ok) {
        const int err = errno;
        ::unlink(temp.c_str());
        WriteLog(LogLevel::Error,
                 "SaveWindowSettings(): writing \"" + path + "\" failed: " + std::strerror(err));
    }
    return ok;
}

}  // namespace nbx::ui
