#pragma once

// What an explorer window keeps between sessions: its place and size, the column widths of the
// node list and of the folder view, and the style the node list is shown in. They live in
// window.ini in the program's config folder ($XDG_CONFIG_HOME/nimbexshell), written when a
// frame goes and read at start for the first frame:
//
//   [Window]
//   Left=120
//   Top=80
//   Width=900
//   Height=600
//   Maximized=0
//   [NodeList]
//   ViewStyle=1                     ; -1 Large Icons, 0 Icons, 1 Details, 2 Small Icons, 3 List
//   ColumnWidths=250,100,120,120,120
//   [FolderView]
//   ColumnWidths=250,100,120,120
//
// A value that is missing or cannot be meant (not a number, out of range) is left out, so the
// window's default holds for it; a column width of 0 stands for the column's default.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace nbx::ui {

struct WindowSettings {
    // The frame's own limits: smaller sizes are not kept.
    static constexpr int kMinSize = 356, kMaxSize = 16384;
    static constexpr int kMaxCoordinate = 32767;
    static constexpr int kMaxColumnWidth = 8192;

    std::optional<std::pair<int, int>> position;  // left, top of the window's frame
    std::optional<std::pair<int, int>> size;      // width, height
    bool maximized = false;
    std::optional<int> nodeViewStyle;
    std::vector<int> nodeColumnWidths;
    std::vector<int> folderColumnWidths;

    bool operator==(const WindowSettings&) const = default;
};

WindowSettings ParseWindowSettings(const std::string& text);
std::string FormatWindowSettings(const WindowSettings& settings);
// What `newer` holds replaces what `older` holds; the rest of `older` stays.
WindowSettings MergeWindowSettings(WindowSettings older, const WindowSettings& newer);

// $XDG_CONFIG_HOME/nimbexshell/window.ini.
std::string WindowSettingsPath();
// Empty settings when the file is missing or unreadable.
WindowSettings LoadWindowSettings();
// Replaces the file as a whole (a crash leaves the old one); false, logged, when it failed.
bool SaveWindowSettings(const WindowSettings& settings);

}  // namespace nbx::ui
