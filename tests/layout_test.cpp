// The layers of src/ hold: each folder includes only from the folders below it, the core has no
// Qt, and the command-line program links neither Qt nor the desktop's libraries.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Which folders each folder of src/ may include from, besides itself. Lowest first.
const std::map<std::string, std::set<std::string>> kMayUse = {
    {"platform", {}},
    {"base", {"platform"}},
    {"nodes", {"base", "platform"}},
    {"remotefs", {"nodes", "base", "platform"}},
    {"monitor", {"remotefs", "nodes", "base", "platform"}},
    {"comn", {"monitor", "remotefs", "nodes", "base", "platform"}},
    {"account", {"remotefs", "nodes", "base", "platform"}},
    {"cli", {"account", "comn", "monitor", "remotefs", "nodes", "base", "platform"}},
    {"widgets", {"remotefs", "nodes", "base", "platform"}},
    {"ui", {"widgets", "account", "comn", "monitor", "remotefs", "nodes", "base", "platform"}},
    {"shell",
     {"ui", "widgets", "account", "comn", "monitor", "remotefs", "nodes", "base", "platform"}},
};

// Folders whose code builds without Qt.
const std::set<std::string> kWithoutQt = {"platform", "base", "nodes",   "remotefs",
                                          "monitor",  "comn", "account", "cli"};

struct Include {
    std::string file;  // relative to src/
    int line = 0;
    std::string text;  // what is included
    bool quoted = false;
};

std::vector<Include> IncludesOf(const fs::path& root) {
    static const std::regex kInclude(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<Include> out;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp" && ext != ".inc")) {
            continue;
        }
        std::ifstream in(entry.path());
        std::string line;
        int number = 0;
        while (std::getline(in, line)) {
            ++number;
            std::smatch m;
            if (std::regex_search(line, m, kInclude)) {
                out.push_back(Include{fs::relative(entry.path(), root).generic_string(), number,
                                      m[2].str(), m[1].str() == "\""});
            }
        }
    }
    return out;
}

std::string FirstSegment(const std::string& path) {
    return path.substr(0, path.find('/'));
}

TEST(LayoutTest, EveryIncludeOfSrcFollowsTheLayers) {
    const fs::path root = fs::path(NBX_SOURCE_DIR) / "src";
    std::vector<std::string> wrong;
    std::set<std::string> folders;
    for (const Include& include : IncludesOf(root)) {
        const std::string from = FirstSegment(include.file);
        folders.insert(from);
        const auto rule = kMayUse.find(from);
        const std::string where = include.file + ":" + std::to_string(include.line) + ": ";
        if (rule == kMayUse.end()) {
            wrong.push_back(where + "folder \"" + from + "\" is not in the table");
            continue;
        }
        if (include.quoted) {
            const std::string to = FirstSegment(include.text);
            if (include.text.find('/') == std::string::npos) {
                wrong.push_back(where + "\"" + include.text + "\" names no folder");
            } else if (to != from && rule->second.count(to) == 0) {
                wrong.push_back(where + from + " may not include " + include.text);
            }
        } else if (kWithoutQt.count(from) != 0 && include.text.rfind("Q", 0) == 0) {
            wrong.push_back(where + from + " builds without Qt but includes <" + include.text +
                            ">");
        }
    }
    EXPECT_TRUE(wrong.empty()) << [&] {
        std::ostringstream all;
        for (const std::string& w : wrong) {
            all << w << "\n";
        }
        return all.str();
    }();
    // The table and the tree agree: a folder that went away leaves the table too.
    for (const auto& [folder, below] : kMayUse) {
        EXPECT_TRUE(fs::is_directory(root / folder)) << folder;
        for (const std::string& other : below) {
            EXPECT_TRUE(kMayUse.count(other) != 0) << other;
        }
    }
}

// Each folder may only use folders that are themselves lower: the table has no cycle.
TEST(LayoutTest, TheTableHasNoCycle) {
    std::map<std::string, int> depth;
    std::function<int(const std::string&, int)> deepest = [&](const std::string& folder,
                                                              int guard) -> int {
        if (guard > static_cast<int>(kMayUse.size())) {
            ADD_FAILURE() << "cycle through " << folder;
            return 0;
        }
        int d = 0;
        for (const std::string& below : kMayUse.at(folder)) {
            d = std::max(d, deepest(below, guard + 1) + 1);
        }
        return d;
    };
    for (const auto& entry : kMayUse) {
        deepest(entry.first, 0);
    }
}

// The libraries nimbex is linked with, as the build wrote them down.
TEST(LayoutTest, TheCommandLineProgramLinksNeitherQtNorTheDesktop) {
    std::ifstream in(NBX_NIMBEX_LINK_CLOSURE);
    ASSERT_TRUE(in) << NBX_NIMBEX_LINK_CLOSURE;
    std::vector<std::string> libraries;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            libraries.push_back(line);
        }
    }
    EXPECT_NE(std::find(libraries.begin(), libraries.end(), "nbx_cli"), libraries.end());
    static const std::regex kForbidden(
        R"(Qt|xcb|X11|gio|gtk|nbx_launch|_ui$|nbx_widgets|nbx_shell)", std::regex::icase);
    for (const std::string& library : libraries) {
        EXPECT_FALSE(std::regex_search(library, kForbidden)) << library;
    }
}

}  // namespace
