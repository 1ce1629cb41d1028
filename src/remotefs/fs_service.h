#pragma once

#include <string>

#include "remotefs/fs_diskapi.h"
#include "remotefs/fs_webdav.h"

class CNbxNode;

// Lists and changes the folders of one node. Chooses the implementation by the node's
// device_type (9: the cloud disk; anything else: WebDAV) and turns plain remote paths into
// what it expects. Listings go into the one CNbxFileProvider that the caller then reads.
// _LIST belongs to the thread that reads the listing; the other operations may run on
// another thread at the same time, since they never touch the listing.
class CNbxFileSystemService : public CNbxFsWebDav, public CNbxFsDiskApi {
public:
    int _LIST(const CNbxNode& node, const std::string& path);
    int _CREATE(const CNbxNode& node, const std::string& path);
    int _DELETE(const CNbxNode& node, const std::string& path);
    int _COPY(const CNbxNode& node, const std::string& source, const std::string& destination);
    int _MOVE(const CNbxNode& node, const std::string& source, const std::string& destination);
};

// Where the cloud disk is told to put a copy: the destination's parent folder, ending in "/".
std::string DiskCopyDestination(const std::string& destination);
// A move that renames names the new path; one into another folder names that folder.
std::string DiskMoveDestination(const std::string& source, const std::string& destination);
