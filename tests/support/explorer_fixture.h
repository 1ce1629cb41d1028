#pragma once

// The explorer's widget tests on one footing. ExplorerTest is a home of the test's own (or the
// test program's shared one, for the fake desktop), a deployment profile whose service hosts
// are loopback ports where nothing listens, so no request leaves the machine, message boxes
// answered by a recorder, and the application object started on a node database the test
// seeds first; its first frame shows the node list. The application, and any frame still
// open, goes when the test ends. The helpers it builds on are in ui_test_support.h.

#include <memory>
#include <string>
#include <vector>

#include "nodes/nbx_node.h"
#include "support/test_support.h"
#include "support/ui_test_support.h"

class CMainFrame;
class CTerraPaneApp;
class CTerraPaneView;

namespace nbx::test {

// ---- The fixture -----------------------------------------------------------------------------

class ExplorerTest : public TempHome {
protected:
    // In a home of the test's own, or in `sharedHome` (set up by the program's environment),
    // whose database and log of an earlier test go first.
    explicit ExplorerTest(std::string sharedHome = {}) : sharedHome_(std::move(sharedHome)) {}
    void SetUp() override;
    void TearDown() override;

    // Writes nodes to the database; before StartApp they are what the application loads.
    static void SeedNodes(const std::vector<NodeSettings>& nodes);
    // Replaces the loopback profile of SetUp; before StartApp it is what the application reads.
    void UseProfile(const std::string& text);
    // InitInstance; fails the test when it does not come up with a frame and its view.
    void StartApp();

    CTerraPaneApp& App() { return *app_; }
    // The first frame; a later one becomes the main window when it is activated.
    CMainFrame* Frame() const { return frame_; }
    CTerraPaneView* View() const;
    // Adds a node to the running application's list; nullptr when the list refuses it.
    CNbxNode* AddNode(NodeSettings settings);

    // A port on 127.0.0.1 where nothing listens (it was free a moment ago).
    static int ClosedPort();
    // The session log as written so far.
    std::string SessionLog() const;

    MessageBoxRecorder boxes_;

private:
    std::string sharedHome_;
    std::unique_ptr<CTerraPaneApp> app_;
    CMainFrame* frame_ = nullptr;
};

}  // namespace nbx::test
