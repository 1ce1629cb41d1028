#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "nodes/nbx_node.h"

// Where an iteration over a node list stands: the title to be returned next.
struct NodePosition {
    std::optional<std::string> next;
    explicit operator bool() const { return next.has_value(); }
};

// The nodes of the user, keyed by their unique titles, each change written to the database at
// once. The list owns its nodes; releasing one applies its write-back rule. Every operation
// holds the list's own lock for its whole duration (iteration only per step). Pointers handed
// out stay valid until that node is removed or the list is emptied or reloaded.
class CNbxNodeList {
public:
    CNbxNodeList() = default;
    CNbxNodeList(const CNbxNodeList&) = delete;
    CNbxNodeList& operator=(const CNbxNodeList&) = delete;
    ~CNbxNodeList();  // RemoveAllNodes

    // Takes the node and returns it when its title was free; otherwise nullptr, and `node` is
    // left with the caller.
    CNbxNode* AddNode(std::unique_ptr<CNbxNode>& node);
    void RemoveNode(const std::string& title);
    CNbxNode* lookup(const std::string& title) const;

    // The title of the first node that matches every given filter; 0 and std::nullopt match any.
    std::optional<std::string> FindNodeByName(int node_type, int device_type,
                                              const std::optional<std::string>& node_name,
                                              const std::optional<std::string>& login) const;

    bool LoadListFromDB();
    void RemoveAllNodes();

    // Titles in ascending byte order. A node added or removed between two steps is seen or
    // skipped by its place in that order; iteration never breaks.
    NodePosition GetStartPosition() const;
    // Gives the node at `pos` (false when there is none) and moves `pos` on.
    bool GetNextNode(NodePosition& pos, std::string& title, CNbxNode*& node) const;

    std::size_t GetCount() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::unique_ptr<CNbxNode>> nodes_;
};
