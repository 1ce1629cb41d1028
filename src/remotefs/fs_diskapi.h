#pragma once

#include "remotefs/fs_interface.h"

// The file-system operations on the cloud disk: GET requests on the disk API with escaped
// paths in the query, Basic credentials, and JSON listings.
class CNbxFsDiskApi : public CNbxFileSystemInterface {
public:
    int _LIST(const std::string& path, const std::string& login,
              const std::string& password) override;
    int _CREATE(const std::string& path, const std::string& login,
                const std::string& password) override;
    int _DELETE(const std::string& path, const std::string& login,
                const std::string& password) override;
    int _COPY(const std::string& source, const std::string& destination, const std::string& login,
              const std::string& password) override;
    int _MOVE(const std::string& source, const std::string& destination, const std::string& login,
              const std::string& password) override;

    // Reads a listing answer for the escaped folder path into the listing; false when the
    // answer is not JSON.
    bool ReadListing(const std::string& answer, const std::string& escapedFolder);

private:
    int Send(const char* operation, const std::string& url, const std::string& login,
             const std::string& password, std::vector<int> accepted, std::string* answer);
};

// "https://" and the disk API host of the deployment profile.
std::string DiskApiBase();
