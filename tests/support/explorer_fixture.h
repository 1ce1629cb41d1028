#pragma once

// An explorer on a private home: the application object started on a node database that the
// test seeds first, its session log in the home and a deployment profile whose service hosts
// are all on loopback ports where nothing listens, so no request leaves the machine. The first
// frame shows the node list. Frames left open are closed, and the application taken down, when
// the test ends.

#include <memory>
#include <string>
#include <vector>

#include "nodes/nbx_node.h"
#include "support/test_support.h"

class CMainFrame;
class CTerraPaneApp;
class CTerraPaneView;

namespace nbx::test {

class ExplorerTest : public TempHome {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes nodes to the database; before StartApp they are what the application loads.
    static void SeedNodes(const std::vector<NodeSettings>& nodes);
    // InitInstance; fails the test when it does not come up with a frame.
    void StartApp();

    CTerraPaneApp& App() { return *app_; }
    // The first frame; a later one becomes the main window when it is activated.
    CMainFrame* Frame() const { return frame_; }
    CTerraPaneView* View() const;

    // A port on 127.0.0.1 where nothing listens (it was free a moment ago).
    static int ClosedPort();
    // The session log as written so far.
    std::string SessionLog() const;

private:
    std::unique_ptr<CTerraPaneApp> app_;
    CMainFrame* frame_ = nullptr;
};

}  // namespace nbx::test
