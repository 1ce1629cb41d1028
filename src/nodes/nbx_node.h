#pragma once

#include <string>

// The value sets of a node's integer fields. Stored values outside them stay as they are and
// are read by the rules of the functions below.
namespace NodeType {
enum : int {
    ServiceNode = 1,   // a device of the user's account, or the cloud disk
    SharedFolder = 2,  // a WebDAV shared folder configured by its address
};
}  // namespace NodeType

namespace DeviceKind {
enum : int {
    Unknown = 0,
    Handset = 1,
    LegacyHandset = 2,
    Smartphone = 3,
    Appliance = 4,
    VirtualServer = 5,
    Workstation = 6,
    Tablet = 7,
    PictureFrame = 8,
    Disk = 9,  // selects the cloud-disk services; every other value selects WebDAV
};
}  // namespace DeviceKind

namespace NodeState {
enum : int {
    Unknown = 0,
    Offline = 1,
    Online = 2,
};
}  // namespace NodeState

// The persistent fields of a node, one per database column, with a new node's defaults.
struct NodeSettings {
    int node_type = 0;
    int device_type = DeviceKind::Unknown;
    std::string nbx_proxy;  // scheme, host and port, without a trailing "/"
    std::string node_name;  // first path segment of the node's WebDAV URLs
    std::string login;
    std::string password;
    std::string root_dir = "/";
    std::string title_name;  // unique among all nodes; the node list's key
    int sort_style = 0;
    int view_style = 0;
    int thumbnail_width = 48;
    int thumbnail_height = 48;
};

// One configured node. Its release writes back what its flags ask for: the view settings when
// viewModified is set, all connection settings when infoModified is set, and nothing at all
// once the node list has marked it removed.
class CNbxNode : public NodeSettings {
public:
    explicit CNbxNode(NodeSettings settings);
    // A copy for work that must outlive a change of the node list: settings and state, no flags.
    CNbxNode(const CNbxNode& other);
    CNbxNode& operator=(const CNbxNode&) = delete;
    ~CNbxNode();

    int state = NodeState::Unknown;  // runtime only
    bool infoModified = false;
    bool viewModified = false;
    bool removed = false;
};

// True when the connection fields the node's services need are all filled in.
bool IsNodeConfigured(const CNbxNode& node);

// Display texts, in the user's language.
std::string DeviceKindName(int device_type);
std::string NodeStateName(int state);

// The sort column (0 name, 1 size, 2 type, 3 date created) and direction of a stored
// sort_style; values outside 0 to 7 read as name, ascending.
struct SortOrder {
    int column;
    bool descending;
};
SortOrder DecodeSortStyle(int sort_style);
int EncodeSortStyle(SortOrder order);

// The view mode a stored view_style opens in: 0 icons, 1 small icons, 2 list, 3 details,
// 4 large icons; any other value opens as 0.
int DecodeViewStyle(int view_style);

// The node part of an address that names it: node_name, or "DISK_" and the login for the disk.
std::string NodeAddressName(const CNbxNode& node);
