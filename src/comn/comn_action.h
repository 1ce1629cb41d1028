#pragma once

#include <string>

#include "nodes/nbx_node.h"
#include "remotefs/progress.h"

class CNbxFileSystemService;
class CNbxFileMonitorManager;
class CNbxComnProgressAction;

// What an action's run gives the engine.
namespace ActionResult {
enum : int {
    Success = 0,
    Error = 10,
    Aborted = 100,
};
}  // namespace ActionResult

// The follow-up the engine runs after a successful main action.
namespace OpenMode {
enum : int {
    None = 0,
    View = 1,          // open the local copy with the desktop
    ViewReadonly = 2,  // the same, read-only
    ViewMonitor = 3,   // start its application and watch it
};
}  // namespace OpenMode

// A service result as an action result: transfers know an abort (0), file-system calls do not.
int MapTransferResult(int result);
int MapFileSystemResult(int result);

// One unit of work for a communication manager, run on its engine thread. An action carries
// copies of the nodes and paths it needs, so it may wait in the queue while the node list
// changes. Abort may be called from another thread while the action runs.
class CNbxComnAction {
public:
    virtual ~CNbxComnAction() = default;
    CNbxComnAction(const CNbxComnAction&) = delete;
    CNbxComnAction& operator=(const CNbxComnAction&) = delete;

    virtual int RunMainAction() = 0;
    virtual int RunViewAction() { return ActionResult::Error; }
    virtual int RunViewReadonlyAction() { return ActionResult::Error; }
    virtual int RunViewMonitorAction() { return ActionResult::Error; }
    virtual void SetOpenMode(int) { openMode = OpenMode::None; }
    virtual void Abort() {}
    // Non-null for the actions that move the progress bars.
    virtual CNbxComnProgressAction* AsProgressAction() { return nullptr; }

    int openMode = OpenMode::None;
    CNbxFileSystemService* fileSystemService = nullptr;  // set by the engine; not owned
    CNbxFileMonitorManager* monitorManager = nullptr;    // set by the engine; not owned
    CNbxNode targetNode;
    CNbxNode sourceNode;
    std::string targetPath;
    std::string sourcePath;

protected:
    // Null nodes give empty nodes; everything is copied.
    CNbxComnAction(const CNbxNode* target, const CNbxNode* source, std::string targetPathIn,
                   std::string sourcePathIn);
};

// An action that shows itself as the current file and moves the overall bar.
class CNbxComnProgressAction : public CNbxComnAction {
public:
    CNbxComnProgressAction* AsProgressAction() override { return this; }

    std::string displayName;
    CNbxComnProgressDlg* progressDlg = nullptr;  // set by the engine; not owned

protected:
    CNbxComnProgressAction(const CNbxNode* target, const CNbxNode* source, std::string targetPath,
                           std::string sourcePath, std::string displayNameIn);
};
