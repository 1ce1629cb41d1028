#pragma once

#include "comn/actions.h"

// Where the local copy of an opened item goes: a folder of its own per node and remote folder
// (named by a short hash of the node's title and the folder, made when missing) in the private
// temporary folder, under the item's own name, which its application shows. So two files of
// one name in two folders, or on two nodes, never share a copy. Empty when the folder cannot
// be had or the name would lead out of it ("", ".", "..", a name with "/" or a NUL).
std::string LocalCopyPath(const std::string& nodeTitle, const std::string& remoteFolder,
                          const std::string& itemName);

// Downloads a remote file, then, by its open mode, opens the local copy: with the desktop
// (1), read-only (2), or in its application, watched so that a changed file can be uploaded
// again (3). A file that is still being edited is not downloaded again: its application is
// brought to the front instead. Nor is a copy whose changes were neither uploaded nor declined
// yet: it is opened as it is.
class CNbxComnActionDownload : public CNbxComnTransferAction {
public:
    CNbxComnActionDownload(const CNbxNode* source, std::string remotePath, std::string localPath,
                           std::string displayName);

    void SetOpenMode(int mode) override;
    int RunMainAction() override;
    int RunViewAction() override;
    int RunViewReadonlyAction() override;
    int RunViewMonitorAction() override;
};
