#include <ostream>

#include "base/control_text.h"
#include "base/session_log.h"
#include "cli/command.h"
#include "platform/format.h"

namespace nbx::cli {

namespace {

constexpr Command kCommands[] = {
    {"version", "version", "Prints the program's name and version.", RunVersion},
    {"nodes", "nodes [--json] [--probe]",
     "Lists the configured nodes: title, node type, device, node name and login.\n"
     "  --probe  asks every node whether it is reachable and adds its state\n"
     "  --json   prints a JSON array for scripts",
     RunNodes},
    {"node",
     "node add --title T --proxy URL [--node-name N] --login L --password-stdin [--root DIR] "
     "[--node-type 1|2] [--device-type K]\n  node rm TITLE",
     "Adds or removes a node. A new node is a shared folder (node type 2, device type 0)\n"
     "unless told otherwise; the cloud disk is --node-type 1 --device-type 9. The password\n"
     "is read from the first line of standard input.",
     RunNode},
    {"ls", "ls [--json] TITLE:/folder/",
     "Lists a folder: a folder mark (d or -), size, modification time and name.", RunLs},
    {"get", "get TITLE:/file LOCAL",
     "Downloads a file. LOCAL may be a folder, which then receives the file under its name.",
     RunGet},
    {"put", "put LOCAL TITLE:/path",
     "Uploads a file. A path ending in / is a folder that receives the file under its name.",
     RunPut},
    {"mkdir", "mkdir TITLE:/folder", "Creates a folder.", RunMkdir},
    {"rm", "rm TITLE:/path", "Deletes a file, or a folder with everything in it.", RunRm},
    {"cp", "cp TITLE:/source TITLE:/destination",
     "Copies within one node, or a file from one node to another. A destination ending\n"
     "in / is the folder to copy into.",
     RunCp},
    {"mv", "mv TITLE:/source TITLE:/destination",
     "Moves or renames within one node, or moves a file to another node. A destination\n"
     "ending in / is the folder to move into.",
     RunMv},
    {"exists", "exists TITLE:/path",
     "Exit status 0 when the file or folder exists, 1 when it does not.", RunExists},
    {"probe", "probe TITLE", "Says whether the node is reachable (exit status 0) or not.",
     RunProbe},
};

void Usage(std::ostream& out) {
    out << "usage: nimbex [--debug] VERB [ARGS]   (nimbex VERB --help for more)\n";
    for (const Command& c : kCommands) {
        out << "  " << c.synopsis << '\n';
    }
    out << "Remote paths are written TITLE:/path, a node title, a colon and a path.\n"
           "--debug also writes the protocol records to the session log.\n"
           "Exit status: 0 success, 1 failure, 2 usage error.\n";
}

}  // namespace

int Main(const std::vector<std::string>& argsIn, Io& io) {
    std::vector<std::string> args = argsIn;
    const bool debug = !args.empty() && args[0] == "--debug";
    if (debug) {
        args.erase(args.begin());
    }
    SetMinimumLogLevel(debug ? LogLevel::Debug : LogLevel::Info);
    if (args.empty() || args[0] == "--help" || args[0] == "help") {
        Usage(args.empty() ? io.err : io.out);
        return args.empty() ? kUsage : kOk;
    }
    for (const Command& c : kCommands) {
        if (args[0] != c.name) {
            continue;
        }
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        for (const std::string& a : rest) {
            if (a == "--help" || a == "-h") {
                io.out << "usage: nimbex " << c.synopsis << "\n" << c.help << '\n';
                return kOk;
            }
        }
        WriteLog(LogLevel::Info,
                 nbx::StrPrintf("nimbex::Main() with arg: \"%s\" invoked...", c.name));
        return c.run(rest, io);
    }
    io.err << "nimbex: unknown verb \"" << ShowControlCharacters(args[0]) << "\"\n";
    Usage(io.err);
    return kUsage;
}

}  // namespace nbx::cli
