#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace nbx::cli {

// The streams a verb talks through, so that tests run verbs in-process and read what they said.
struct Io {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
};

// Exit statuses of the tool.
inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;

// One verb: parse its arguments, act, print, return an exit status.
struct Command {
    const char* name;
    const char* synopsis;
    int (*run)(const std::vector<std::string>& args, Io& io);
};

int RunVersion(const std::vector<std::string>& args, Io& io);
int RunNodes(const std::vector<std::string>& args, Io& io);
int RunNode(const std::vector<std::string>& args, Io& io);

// The whole tool: argv without the program name.
int Main(const std::vector<std::string>& args, Io& io);

}  // namespace nbx::cli
