#include <json/json.h>
#include <algorithm>
#include <ostream>

#include "base/control_text.h"
#include "cli/command.h"
#include "cli/options.h"
#include "nodes/node_list.h"
#include "platform/utf.h"
#include "remotefs/ft_service.h"

namespace nbx::cli {

namespace {

struct Row {
    std::string title, type, device, node_name, login, state;
};

void PrintTable(const std::vector<Row>& rows, bool withState, std::ostream& out) {
    const Row header{"TITLE", "TYPE", "DEVICE", "NODE NAME", "LOGIN", "STATE"};
    std::size_t width[4] = {};
    auto widen = [&](const Row& r) {
        const std::string* cells[4] = {&r.title, &r.type, &r.device, &r.node_name};
        for (int i = 0; i < 4; ++i) {
            width[i] = std::max(width[i], utf::DisplayWidth(*cells[i]));
        }
    };
    widen(header);
    std::for_each(rows.begin(), rows.end(), widen);
    std::size_t loginWidth = utf::DisplayWidth(header.login);
    for (const Row& r : rows) {
        loginWidth = std::max(loginWidth, utf::DisplayWidth(r.login));
    }
    auto print = [&](const Row& r) {
        const std::string* cells[4] = {&r.title, &r.type, &r.device, &r.node_name};
        for (int i = 0; i < 4; ++i) {
            out << *cells[i] << std::string(width[i] - utf::DisplayWidth(*cells[i]) + 2, ' ');
        }
        if (withState) {
            out << r.login << std::string(loginWidth - utf::DisplayWidth(r.login) + 2, ' ')
                << r.state;
        } else {
            out << r.login;
        }
        out << '\n';
    };
    print(header);
    std::for_each(rows.begin(), rows.end(), print);
}

}  // namespace

int RunNodes(const std::vector<std::string>& args, Io& io) {
    Options options;
    std::string error;
    if (!options.Parse(args, {}, {"json", "probe"}, error) || !options.Positional().empty()) {
        io.err << "nimbex nodes: " << (error.empty() ? "takes no arguments" : error) << '\n';
        return kUsage;
    }
    CNbxNodeList list;
    if (!list.LoadListFromDB()) {
        io.err << "nimbex nodes: the node database cannot be read\n";
        return kFailed;
    }
    std::vector<Row> rows;
    Json::Value json(Json::arrayValue);
    std::string title;
    CNbxNode* node = nullptr;
    for (NodePosition pos = list.GetStartPosition(); list.GetNextNode(pos, title, node);) {
        if (options.Flag("probe")) {
            CNbxFileTransferService ft;
            node->state = ft._CHECK_ONLINE(*node) == 200 ? NodeState::Online : NodeState::Offline;
        }
        rows.push_back({ShowControlCharacters(title), std::to_string(node->node_type),
                        DeviceKindName(node->device_type), ShowControlCharacters(node->node_name),
                        ShowControlCharacters(node->login), NodeStateName(node->state)});
        Json::Value item;
        item["title"] = title;
        item["node_type"] = node->node_type;
        item["device_type"] = node->device_type;
        item["device"] = DeviceKindName(node->device_type);
        item["nbx_proxy"] = node->nbx_proxy;
        item["node_name"] = node->node_name;
        item["login"] = node->login;
        item["root_dir"] = node->root_dir;
        if (options.Flag("probe")) {
            item["state"] = NodeStateName(node->state);
        }
        json.append(item);
    }
    if (options.Flag("json")) {
        Json::StreamWriterBuilder writer;
        writer["indentation"] = "  ";
        writer["emitUTF8"] = true;
        io.out << Json::writeString(writer, json) << '\n';
    } else {
        PrintTable(rows, options.Flag("probe"), io.out);
    }
    return kOk;
}

}  // namespace nbx::cli
