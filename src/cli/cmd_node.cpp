#include <istream>
#include <ostream>

#include "base/control_text.h"
#include "cli/command.h"
#include "cli/options.h"
#include "nodes/node_list.h"

namespace nbx::cli {

namespace {

int Add(const std::vector<std::string>& args, Io& io) {
    Options o;
    std::string error;
    if (!o.Parse(args, {"title", "proxy", "node-name", "login", "root", "node-type", "device-type"},
                 {"password-stdin"}, error) ||
        !o.Positional().empty()) {
        io.err << "nimbex node add: " << (error.empty() ? "unexpected argument" : error) << '\n';
        return kUsage;
    }
    const auto title = o.Value("title");
    const auto proxy = o.Value("proxy");
    const auto login = o.Value("login");
    const auto nodeType = ParseInt(o.Value("node-type").value_or("2"), 1, 2);
    const auto deviceType = ParseInt(o.Value("device-type").value_or("0"), 0, 9);
    if (!title || title->empty() || !proxy || proxy->empty() || !login || !nodeType ||
        !deviceType) {
        io.err << "nimbex node add: needs --title, --proxy and --login; --node-type is 1 or 2 "
                  "and --device-type 0 to 9\n";
        return kUsage;
    }
    if (!o.Flag("password-stdin")) {
        io.err << "nimbex node add: the password is read from standard input: give "
                  "--password-stdin\n";
        return kUsage;
    }
    std::string password;
    std::getline(io.in, password);
    if (!password.empty() && password.back() == '\r') {
        password.pop_back();
    }

    CNbxNodeList list;
    if (!list.LoadListFromDB()) {
        io.err << "nimbex node add: the node database cannot be read\n";
        return kFailed;
    }
    auto node = std::make_unique<CNbxNode>(NodeSettings{
        .node_type = *nodeType,
        .device_type = *deviceType,
        .nbx_proxy = *proxy,
        .node_name = o.Value("node-name").value_or(""),
        .login = *login,
        .password = password,
        .root_dir = o.Value("root").value_or("/"),
        .title_name = *title,
    });
    if (list.AddNode(node) == nullptr) {
        io.err << "nimbex node add: a node titled \"" << ShowControlCharacters(*title)
               << "\" exists already\n";
        return kFailed;
    }
    // The list keeps a node whose row could not be written; only the database tells.
    if (!list.LoadListFromDB() || list.lookup(*title) == nullptr) {
        io.err << "nimbex node add: the node could not be saved (see the session log)\n";
        return kFailed;
    }
    return kOk;
}

int Remove(const std::vector<std::string>& args, Io& io) {
    if (args.size() != 1) {
        io.err << "nimbex node rm: give one title\n";
        return kUsage;
    }
    const std::string& title = args[0];
    CNbxNodeList list;
    if (!list.LoadListFromDB()) {
        io.err << "nimbex node rm: the node database cannot be read\n";
        return kFailed;
    }
    if (list.lookup(title) == nullptr) {
        io.err << "nimbex node rm: no node is titled \"" << ShowControlCharacters(title) << "\"\n";
        return kFailed;
    }
    list.RemoveNode(title);
    if (!list.LoadListFromDB() || list.lookup(title) != nullptr) {
        io.err << "nimbex node rm: the node could not be removed (see the session log)\n";
        return kFailed;
    }
    return kOk;
}

}  // namespace

int RunNode(const std::vector<std::string>& args, Io& io) {
    const std::vector<std::string> rest(args.begin() + (args.empty() ? 0 : 1), args.end());
    if (!args.empty() && args[0] == "add") {
        return Add(rest, io);
    }
    if (!args.empty() && args[0] == "rm") {
        return Remove(rest, io);
    }
    io.err << "nimbex node: give add or rm\n";
    return kUsage;
}

}  // namespace nbx::cli
