#pragma once

#include "remotefs/ft_http.h"

// Transfers to and from WebDAV nodes: GET, PUT and HEAD on complete URLs with the node's
// credentials.
class CNbxFtWebDav : public CNbxFtHttp {
public:
    CNbxFtWebDav() : CNbxFtHttp("CNbxFtWebDav") {}

protected:
    std::string DownloadUrl(const std::string& url) const override { return url; }
    std::string UploadUrl(const std::string& url) const override { return url; }
    const char* ProbeMethod() const override { return "HEAD"; }
    const char* UploadMethod() const override { return "PUT"; }
    int MapProbe(int status) const override { return status; }
    void FrameUpload(const std::string&, Framing&) const override {}
    std::string UploadClassName() const override { return "CCNbxFtWebDav"; }
};
