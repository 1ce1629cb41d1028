#pragma once

#include "remotefs/fs_interface.h"

// The file-system operations on a WebDAV server: PROPFIND, MKCOL, DELETE, COPY and MOVE on
// complete URLs, with the node's credentials.
class CNbxFsWebDav : public CNbxFileSystemInterface {
public:
    int _LIST(const std::string& url, const std::string& login,
              const std::string& password) override;
    int _CREATE(const std::string& url, const std::string& login,
                const std::string& password) override;
    int _DELETE(const std::string& url, const std::string& login,
                const std::string& password) override;
    int _COPY(const std::string& source, const std::string& destination, const std::string& login,
              const std::string& password) override;
    int _MOVE(const std::string& source, const std::string& destination, const std::string& login,
              const std::string& password) override;

    static constexpr const char* kPropfindBody =
        "<?xml version='1.0'?><D:propfind xmlns:D='DAV:'><D:prop>"
        "<D:getcontentlength/><D:getcontenttype/><D:getlastmodified/><D:executable/>"
        "<D:resourcetype/></D:prop></D:propfind>";

private:
    int CopyOrMove(const char* operation, const std::string& source, const std::string& destination,
                   const std::string& login, const std::string& password);
};
