#include <ostream>

#include "app/session_log.h"
#include "platform/format.h"

#include "cli/command.h"

namespace nbx::cli {

namespace {

constexpr Command kCommands[] = {
    {"version", "version", RunVersion},
    {"nodes", "nodes [--json]", RunNodes},
    {"node",
     "node add --title T --proxy URL --node-name N --login L --password-stdin [--root DIR] "
     "[--node-type 1|2] [--device-type K]\n  node rm TITLE",
     RunNode},
};

void Usage(std::ostream& out) {
    out << "usage: nimbex VERB [ARGS]\n";
    for (const Command& c : kCommands) {
        out << "  " << c.synopsis << '\n';
    }
}

}  // namespace

int Main(const std::vector<std::string>& args, Io& io) {
    if (args.empty() || args[0] == "--help" || args[0] == "help") {
        Usage(args.empty() ? io.err : io.out);
        return args.empty() ? kUsage : kOk;
    }
    for (const Command& c : kCommands) {
        if (args[0] == c.name) {
            WriteLog(LogLevel::Info,
                     nbx::StrPrintf("nimbex::Main() with arg: \"%s\" invoked...", c.name));
            return c.run(std::vector<std::string>(args.begin() + 1, args.end()), io);
        }
    }
    io.err << "nimbex: unknown verb \"" << args[0] << "\"\n";
    Usage(io.err);
    return kUsage;
}

}  // namespace nbx::cli
