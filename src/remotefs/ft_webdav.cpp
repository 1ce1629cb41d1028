#include "remotefs/ft_webdav.h"

#include "base/session_log.h"
#include "platform/format.h"

namespace {

constexpr const char* kResourceTypeBody =
    "<?xml version='1.0'?><D:propfind xmlns:D='DAV:'><D:prop><D:resourcetype/></D:prop>"
    "</D:propfind>";

}  // namespace

int CNbxFtWebDav::SettleProbe(nbx::http::Client& client, const std::string& url,
                              const std::string& login, const std::string& password,
                              int status) const {
    // A 401 is the last word as well: the same credentials would only fail once more, and
    // servers that count failed logins would count it twice.
    if (status == 200 || status == 404 || status == 401) {
        return status;
    }
    nbx::http::Request request = MakeTransferRequest("PROPFIND", url, login, password, true);
    request.headers.insert(request.headers.begin(), {{"Content-Type", "text/xml"}, {"Depth", "0"}});
    request.body = kResourceTypeBody;
    StatusSink sink;
    const nbx::http::Result r = client.Perform(request, &sink);
    if (sink.status == 0) {
        WriteLog(LogLevel::Debug,
                 nbx::StrPrintf("CNbxFtWebDav::_DOWNLOAD(): PROPFIND after HEAD's %d failed: "
                                "\"%s\"",
                                status, r.message.c_str()));
        return status;
    }
    WriteLog(LogLevel::Debug,
             nbx::StrPrintf("CNbxFtWebDav::_DOWNLOAD(): HEAD answered %d, PROPFIND %d", status,
                            sink.status));
    return sink.status == 200 || sink.status == 207 ? 200 : sink.status;
}
