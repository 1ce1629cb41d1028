#include "remotefs/ft_diskapi.h"

#include "remotefs/fs_diskapi.h"

void CNbxFtDiskApi::MultipartFraming(const std::string& remotePath, std::string& head,
                                     std::string& tail) {
    const auto slash = remotePath.find_last_of('/');
    if (slash == std::string::npos) {
        head.clear();
        tail.clear();
        return;
    }
    const std::string delimiter = std::string("--") + kBoundary + "\r\n";
    head = delimiter + "Content-Disposition: form-data; name=\"path\"\r\n\r\n" +
           remotePath.substr(0, slash + 1) + "\r\n" + delimiter +
           "Content-Disposition: form-data; name=\"file\"; filename=\"" +
           remotePath.substr(slash + 1) + "\"\r\n\r\n";
    tail = std::string("\r\n--") + kBoundary + "--\r\n";
}

bool CNbxFtDiskApi::FormCarries(const std::string& remotePath) {
    const auto slash = remotePath.find_last_of('/');
    for (std::size_t i = 0; i < remotePath.size(); ++i) {
        const auto c = static_cast<unsigned char>(remotePath[i]);
        if (c < 0x20 || c == 0x7F || (c == '"' && (slash == std::string::npos || i > slash))) {
            return false;
        }
    }
    return true;
}

int CNbxFtDiskApi::MapProbeStatus(int status) {
    if (status < 400) {
        return status;
    }
    return status <= 500 ? 502 : 200;
}

std::string CNbxFtDiskApi::DownloadUrl(const std::string& escapedPath) const {
    return DiskApiBase() + "/nxapi/get/?path=" + escapedPath;
}

std::string CNbxFtDiskApi::UploadUrl(const std::string&) const {
    return DiskApiBase() + "/nxapi/upLoad/";
}

void CNbxFtDiskApi::FrameUpload(const std::string& remotePath, Framing& framing) const {
    MultipartFraming(remotePath, framing.head, framing.tail);
    framing.headers.emplace_back("Content-Type",
                                 std::string("multipart/form-data; boundary=") + kBoundary);
}
