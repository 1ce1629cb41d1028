#pragma once

#include "remotefs/ft_http.h"

// Transfers to and from the cloud disk: GET on the API's "get" path with the escaped remote
// path, multipart form posts to its "upLoad" path that name the folder and file in the body.
class CNbxFtDiskApi : public CNbxFtHttp {
public:
    CNbxFtDiskApi() : CNbxFtHttp("CNbxFtDiskApi") {}

    static constexpr const char* kBoundary = "---NbXsHeLlBoUnDaRy";

    // The parts of the body around the file's bytes, for a plain remote path.
    static void MultipartFraming(const std::string& remotePath, std::string& head,
                                 std::string& tail);
    // Whether the form can carry the path: the file name goes between the double quotes of a
    // Content-Disposition line, the folder on a line of its own, so neither may hold a control
    // character, nor the name a double quote.
    static bool FormCarries(const std::string& remotePath);
    // A probe's answer as reachability: a client error means "not there", a server error
    // (the API's answer for a folder) means "there".
    static int MapProbeStatus(int status);

protected:
    std::string DownloadUrl(const std::string& escapedPath) const override;
    std::string UploadUrl(const std::string& remotePath) const override;
    const char* ProbeMethod() const override { return "GET"; }
    const char* UploadMethod() const override { return "POST"; }
    int MapProbe(int status) const override { return MapProbeStatus(status); }
    void FrameUpload(const std::string& remotePath, Framing& framing) const override;
    bool CarriesName(const std::string& remotePath) const override {
        return FormCarries(remotePath);
    }
    std::string UploadClassName() const override { return "CNbxFtDiskApi"; }
};
