#pragma once

#include "comn/actions.h"

// Where the local copy of an opened item goes: the private temporary folder, under the item's
// name. Empty when the folder cannot be had or the name would lead out of it ("", ".", "..",
// a name with "/" or a NUL).
std::string LocalCopyPath(const std::string& itemName);

// Downloads a remote file, then, by its open mode, opens the local copy: with the desktop
// (1), read-only (2), or in its application, watched so that a changed file can be uploaded
// again (3). A file that is still being edited is not downloaded again: its application is
// brought to the front instead.
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
