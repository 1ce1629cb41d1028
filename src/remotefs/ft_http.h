#pragma once

#include <memory>
#include <string>
#include <vector>

#include "remotefs/ft_interface.h"

inline constexpr const char* kTransferUserAgent = "NimbexShell@Windows";

// What both transfer families share: whole files and streaming sessions over one HTTP request
// each, block by block, with progress, speed, abort and the same results. A family says how a
// target becomes a URL, which verbs it uses and how an upload's body is framed. An upload
// counts as done only when the server answers it with 2xx; a download only when every
// announced byte arrived.
class CNbxFtHttp : public CNbxFileTransferInterface {
public:
    ~CNbxFtHttp() override;  // closes an open session without commit

    int _DOWNLOAD(const std::string& target, const std::string& localPath, const std::string& login,
                  const std::string& password, bool probe) override;
    int _UPLOAD(const std::string& localPath, const std::string& target, const std::string& login,
                const std::string& password) override;
    int _DOWNLOAD_SESSION_OPEN(const std::string& target, const std::string& login,
                               const std::string& password, std::uint64_t* size) override;
    int _DOWNLOAD_SESSION_READ(char* buffer, std::size_t capacity, std::size_t* read) override;
    int _UPLOAD_SESSION_OPEN(const std::string& target, const std::string& login,
                             const std::string& password, std::uint64_t size) override;
    int _UPLOAD_SESSION_WRITE(const char* buffer, std::size_t count, std::size_t* written) override;
    int _SESSION_CLOSE(bool commit) override;

protected:
    explicit CNbxFtHttp(const char* className);

    // Keeps the status of an answer and stops before its body: all that a probe wants.
    class StatusSink : public nbx::http::BodySink {
    public:
        bool Begin(const nbx::http::Response& response) override {
            status = response.status;
            return false;
        }
        bool Write(const char*, std::size_t) override { return false; }
        int status = 0;
    };

    struct Framing {
        std::string head;  // sent before the file's bytes
        std::string tail;  // and after them
        std::vector<nbx::http::Header> headers;
    };
    virtual std::string DownloadUrl(const std::string& target) const = 0;
    virtual std::string UploadUrl(const std::string& target) const = 0;
    virtual const char* ProbeMethod() const = 0;
    virtual const char* UploadMethod() const = 0;
    virtual int MapProbe(int status) const = 0;
    // A second look when the probe's first answer is not the last word; `client` still holds
    // the connection. The status to report.
    virtual int SettleProbe(nbx::http::Client& client, const std::string& url,
                            const std::string& login, const std::string& password,
                            int status) const;
    virtual void FrameUpload(const std::string& target, Framing& framing) const = 0;
    // Whether an upload's framing can carry the target's name; one it cannot is refused before
    // any request.
    virtual bool CarriesName(const std::string& /*target*/) const { return true; }
    // The name in the upload records (the WebDAV family has always written it with two Cs).
    virtual std::string UploadClassName() const = 0;

private:
    void Record(int level, std::string text) const;

    struct Session;
    std::unique_ptr<Session> session_;
};

// The request every transfer starts from: verb, URL, the Basic authorization line and the
// time-outs.
nbx::http::Request MakeTransferRequest(const std::string& method, const std::string& url,
                                       const std::string& login, const std::string& password,
                                       bool probe);
// True when the URL is an http or https URL that can be requested.
bool IsHttpUrl(const std::string& url);
