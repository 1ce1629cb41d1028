#pragma once

#include <memory>

#include "remotefs/ft_interface.h"

// Transfers to and from WebDAV nodes: GET, PUT and HEAD on complete URLs with the node's
// credentials, whole files or streaming sessions. An upload counts as done only when the
// server answers it with 2xx; a download only when every announced byte arrived.
class CNbxFtWebDav : public CNbxFileTransferInterface {
public:
    CNbxFtWebDav();
    ~CNbxFtWebDav() override;  // closes an open session without commit

    int _DOWNLOAD(const std::string& url, const std::string& localPath, const std::string& login,
                  const std::string& password, bool probe) override;
    int _UPLOAD(const std::string& localPath, const std::string& url, const std::string& login,
                const std::string& password) override;
    int _DOWNLOAD_SESSION_OPEN(const std::string& url, const std::string& login,
                               const std::string& password, std::uint64_t* size) override;
    int _DOWNLOAD_SESSION_READ(char* buffer, std::size_t capacity, std::size_t* read) override;
    int _UPLOAD_SESSION_OPEN(const std::string& url, const std::string& login,
                             const std::string& password, std::uint64_t size) override;
    int _UPLOAD_SESSION_WRITE(const char* buffer, std::size_t count, std::size_t* written) override;
    int _SESSION_CLOSE(bool commit) override;

    static constexpr const char* kUserAgent = "NimbexShell@Windows";

private:
    struct Session;
    std::unique_ptr<Session> session_;
};

// The request every WebDAV transfer starts from: verb, URL, the Basic authorization line and
// the time-outs.
nbx::http::Request MakeTransferRequest(const std::string& method, const std::string& url,
                                       const std::string& login, const std::string& password,
                                       bool probe);
// True when the URL is an http or https URL that can be requested.
bool IsHttpUrl(const std::string& url);
