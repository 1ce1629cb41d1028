#include "ui/explorer_host.h"

namespace nbx::ui {

namespace {
IExplorerHost* g_host = nullptr;
}

IExplorerHost* ExplorerHost() {
    return g_host;
}

void SetExplorerHost(IExplorerHost* host) {
    g_host = host;
}

}  // namespace nbx::ui
