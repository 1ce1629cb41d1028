#include "nodes/node_list.h"

#include <cstdlib>

#include "base/session_log.h"
#include "nodes/sqlite_com.h"

namespace {

// A stored number as the program has always read it: leading digits, and 0 for anything else.
int ReadInt(const QueryRow& row, const char* column) {
    const auto it = row.find(column);
    return it == row.end() ? 0 : static_cast<int>(std::strtol(it->second.c_str(), nullptr, 10));
}

std::string ReadText(const QueryRow& row, const char* column) {
    const auto it = row.find(column);
    return it == row.end() ? std::string() : it->second;
}

}  // namespace

CNbxNodeList::~CNbxNodeList() {
    RemoveAllNodes();
}

CNbxNode* CNbxNodeList::AddNode(std::unique_ptr<CNbxNode>& node) {
    std::lock_guard lock(mutex_);
    if (!node || nodes_.count(node->title_name) != 0) {
        return nullptr;
    }
    CSQLiteCom* db = CSQLiteCom::GetInstance();
    if (db == nullptr) {
        WriteLog(LogLevel::Error,
                 "CNbxNodeList::AddNode(): CSQLiteCom::GetInstance() returned NULL!");
        return nullptr;
    }
    if (!db->InsertNodeFullInfo(node->node_type, node->device_type, node->login, node->password,
                                node->nbx_proxy, node->node_name, node->root_dir, node->title_name,
                                node->sort_style, node->view_style, node->thumbnail_width,
                                node->thumbnail_height)) {
        WriteLog(LogLevel::Error,
                 "CNbxNodeList::AddNode(): CSQLiteCom::InsertNodeFullInfo() failed!");
    }
    CNbxNode* added = node.get();
    nodes_.emplace(node->title_name, std::move(node));
    return added;
}

void CNbxNodeList::RemoveNode(const std::string& title) {
    std::lock_guard lock(mutex_);
    const auto it = nodes_.find(title);
    if (it == nodes_.end()) {
        return;
    }
    CSQLiteCom* db = CSQLiteCom::GetInstance();
    if (db == nullptr) {
        WriteLog(LogLevel::Error,
                 "CNbxNodeList::RemoveNode(): CSQLiteCom::GetInstance() returned NULL!");
        return;
    }
    if (!db->DeleteNodeFullInfoByTitleName(title)) {
        WriteLog(LogLevel::Error,
                 "CNbxNodeList::RemoveNode(): CSQLiteCom::DeleteNodeFullInfoByTitleName() failed!");
    }
    it->second->removed = true;
    nodes_.erase(it);
}

CNbxNode* CNbxNodeList::lookup(const std::string& title) const {
    std::lock_guard lock(mutex_);
    const auto it = nodes_.find(title);
    return it == nodes_.end() ? nullptr : it->second.get();
}

std::optional<std::string> CNbxNodeList::FindNodeByName(
    int node_type, int device_type, const std::optional<std::string>& node_name,
    const std::optional<std::string>& login) const {
    std::lock_guard lock(mutex_);
    for (const auto& [title, node] : nodes_) {
        if ((node_type == 0 || node->node_type == node_type) &&
            (device_type == 0 || node->device_type == device_type) &&
            (!node_name || node->node_name == *node_name) && (!login || node->login == *login)) {
            return title;
        }
    }
    return std::nullopt;
}

bool CNbxNodeList::LoadListFromDB() {
    std::lock_guard lock(mutex_);
    nodes_.clear();  // each node writes back what its flags ask for
    CSQLiteCom* db = CSQLiteCom::GetInstance();
    if (db == nullptr) {
        WriteLog(LogLevel::Error,
                 "CNbxNodeList::LoadListFromDB(): CSQLiteCom::GetInstance() returned NULL!");
        return false;
    }
    QueryResult rows;
    if (!db->SelectAllNodesFullInfo(rows)) {
        WriteLog(LogLevel::Error,
                 "CNbxNodeList::LoadListFromDB(): CSQLiteCom::SelectAllNodesFullInfo() failed!");
        return false;
    }
    for (const QueryRow& row : rows) {
        auto node = std::make_unique<CNbxNode>(NodeSettings{
            .node_type = ReadInt(row, "node_type"),
            .device_type = ReadInt(row, "device_type"),
            .nbx_proxy = ReadText(row, "nbx_proxy"),
            .node_name = ReadText(row, "node_name"),
            .login = ReadText(row, "login"),
            .password = ReadText(row, "password"),
            .root_dir = ReadText(row, "root_dir"),
            .title_name = ReadText(row, "title_name"),
            .sort_style = ReadInt(row, "sort_style"),
            .view_style = ReadInt(row, "view_style"),
            .thumbnail_width = ReadInt(row, "thumbnail_width"),
            .thumbnail_height = ReadInt(row, "thumbnail_height"),
        });
        std::string title = node->title_name;
        nodes_.insert_or_assign(std::move(title), std::move(node));
    }
    return true;
}

void CNbxNodeList::RemoveAllNodes() {
    std::lock_guard lock(mutex_);
    nodes_.clear();
}

NodePosition CNbxNodeList::GetStartPosition() const {
    std::lock_guard lock(mutex_);
    if (nodes_.empty()) {
        return {};
    }
    return {nodes_.begin()->first};
}

bool CNbxNodeList::GetNextNode(NodePosition& pos, std::string& title, CNbxNode*& node) const {
    std::lock_guard lock(mutex_);
    if (!pos) {
        return false;
    }
    auto it = nodes_.lower_bound(*pos.next);
    if (it == nodes_.end()) {
        pos.next.reset();
        return false;
    }
    title = it->first;
    node = it->second.get();
    ++it;
    pos.next = it == nodes_.end() ? std::nullopt : std::optional<std::string>(it->first);
    return true;
}

std::size_t CNbxNodeList::GetCount() const {
    std::lock_guard lock(mutex_);
    return nodes_.size();
}
