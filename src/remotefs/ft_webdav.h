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
    // Servers answer HEAD of a folder in their own ways (nginx 403, rclone 405 without the
    // slash, others 200 or a redirect); what is neither 200, 404 nor 401 is asked again with
    // a PROPFIND of Depth 0, which every WebDAV server answers for files and folders alike.
    int SettleProbe(nbx::http::Client& client, const std::string& url, const std::string& login,
                    const std::string& password, int status) const override;
    void FrameUpload(const std::string&, Framing&) const override {}
    std::string UploadClassName() const override { return "CCNbxFtWebDav"; }
};
