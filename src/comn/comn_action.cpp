#include "comn/comn_action.h"

namespace {

CNbxNode CopyOf(const CNbxNode* node) {
    return node != nullptr ? CNbxNode(*node) : CNbxNode(NodeSettings{});
}

}  // namespace

int MapTransferResult(int result) {
    if (result == 200) {
        return ActionResult::Success;
    }
    return result == 0 ? ActionResult::Aborted : ActionResult::Error;
}

int MapFileSystemResult(int result) {
    return result == 200 ? ActionResult::Success : ActionResult::Error;
}

CNbxComnAction::CNbxComnAction(const CNbxNode* target, const CNbxNode* source,
                               std::string targetPathIn, std::string sourcePathIn)
    : targetNode(CopyOf(target)),
      sourceNode(CopyOf(source)),
      targetPath(std::move(targetPathIn)),
      sourcePath(std::move(sourcePathIn)) {}

CNbxComnProgressAction::CNbxComnProgressAction(const CNbxNode* target, const CNbxNode* source,
                                               std::string targetPath, std::string sourcePath,
                                               std::string displayNameIn)
    : CNbxComnAction(target, source, std::move(targetPath), std::move(sourcePath)),
      displayName(std::move(displayNameIn)) {}
