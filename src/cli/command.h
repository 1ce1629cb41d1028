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
    bool errIsTerminal = false;  // progress bars only on a terminal
};

// Exit statuses of the tool.
inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;

// How long a listing may take from a script, in the listing's 1 ms rounds (10 minutes).
inline constexpr int kScriptListWaitRounds = 600000;

// One verb: parse its arguments, act, print, return an exit status.
struct Command {
    const char* name;
    const char* synopsis;
    const char* help;
    int (*run)(const std::vector<std::string>& args, Io& io);
};

int RunVersion(const std::vector<std::string>& args, Io& io);
int RunNodes(const std::vector<std::string>& args, Io& io);
int RunNode(const std::vector<std::string>& args, Io& io);
int RunLs(const std::vector<std::string>& args, Io& io);
int RunGet(const std::vector<std::string>& args, Io& io);
int RunPut(const std::vector<std::string>& args, Io& io);
int RunMkdir(const std::vector<std::string>& args, Io& io);
int RunRm(const std::vector<std::string>& args, Io& io);
int RunCp(const std::vector<std::string>& args, Io& io);
int RunMv(const std::vector<std::string>& args, Io& io);
int RunExists(const std::vector<std::string>& args, Io& io);
int RunProbe(const std::vector<std::string>& args, Io& io);

// The whole tool: argv without the program name.
int Main(const std::vector<std::string>& args, Io& io);

}  // namespace nbx::cli
