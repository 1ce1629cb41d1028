#include "nodes/nbx_node.h"

#include "base/session_log.h"
#include "base/strings.h"
#include "nodes/sqlite_com.h"

CNbxNode::CNbxNode(NodeSettings settings) : NodeSettings(std::move(settings)) {}

CNbxNode::CNbxNode(const CNbxNode& other)
    : NodeSettings(static_cast<const NodeSettings&>(other)), state(other.state) {}

CNbxNode::~CNbxNode() {
    if (removed) {
        return;
    }
    if (viewModified) {
        if (CSQLiteCom* db = CSQLiteCom::GetInstance(); db == nullptr) {
            WriteLog(LogLevel::Error,
                     "CNbxNode::~CNbxNode(): CSQLiteCom::GetInstance() returned NULL!");
        } else if (!db->UpdateNodeViewInfoByTitleName(sort_style, view_style, thumbnail_width,
                                                      thumbnail_height, title_name)) {
            WriteLog(LogLevel::Error,
                     "CNbxNode::~CNbxNode(): CSQLiteCom::UpdateNodeViewInfoByTitleName() failed!");
        }
    }
    if (infoModified) {
        if (CSQLiteCom* db = CSQLiteCom::GetInstance(); db == nullptr) {
            WriteLog(LogLevel::Error,
                     "CNbxNode::~CNbxNode(): CSQLiteCom::GetInstance() returned NULL!");
        } else if (!db->UpdateNodeInfoByTitleName(node_type, device_type, login, password,
                                                  nbx_proxy, node_name, root_dir, title_name,
                                                  title_name)) {
            WriteLog(LogLevel::Error,
                     "CNbxNode::~CNbxNode(): CSQLiteCom::UpdateNodeInfoByTitleName() failed!");
        }
    }
}

bool IsNodeConfigured(const CNbxNode& node) {
    const bool connection =
        !node.nbx_proxy.empty() && !node.login.empty() && !node.password.empty();
    if (node.device_type == DeviceKind::Disk) {
        return connection;
    }
    if (node.device_type != DeviceKind::Unknown || node.node_type == NodeType::SharedFolder) {
        return connection && !node.node_name.empty();
    }
    return false;
}

std::string DeviceKindName(int device_type) {
    const bool known = device_type >= DeviceKind::Handset && device_type <= DeviceKind::Disk;
    return nbx::strings::LoadString(nbx::strings::kDeviceUnknown + (known ? device_type : 0));
}

std::string NodeStateName(int state) {
    switch (state) {
        case NodeState::Offline:
            return nbx::strings::LoadString(nbx::strings::kStateOffline);
        case NodeState::Online:
            return nbx::strings::LoadString(nbx::strings::kStateOnline);
        default:
            return nbx::strings::LoadString(nbx::strings::kStateUnknown);
    }
}

SortOrder DecodeSortStyle(int sort_style) {
    if (sort_style < 0 || sort_style > 7) {
        sort_style = 0;
    }
    return {sort_style / 2, sort_style % 2 == 1};
}

int EncodeSortStyle(SortOrder order) {
    return order.column * 2 + (order.descending ? 1 : 0);
}

int DecodeViewStyle(int view_style) {
    return view_style >= 0 && view_style <= 4 ? view_style : 0;
}

std::string NodeAddressName(const CNbxNode& node) {
    return node.device_type == DeviceKind::Disk ? "DISK_" + node.login : node.node_name;
}
