#include "remotefs/fs_diskapi.h"

#include <json/json.h>
#include <memory>
#include <sstream>

#include "base/deployment_profile.h"
#include "base/session_log.h"
#include "base/text_helpers.h"
#include "platform/format.h"

using nbx::StrPrintf;

namespace {

constexpr const char* kClass = "CNbxFsDiskApi";
constexpr const char* kFolderType = "httpd/unix-directory";

// A member that is there and a string; anything else counts as missing, so an item of an
// unexpected shape is skipped instead of failing the listing.
const Json::Value* StringMember(const Json::Value& object, const char* name) {
    if (!object.isObject()) {
        return nullptr;
    }
    const Json::Value* member = object.find(name, name + std::strlen(name));
    return member != nullptr && member->isString() ? member : nullptr;
}

const Json::Value* ObjectMember(const Json::Value& object, const char* name) {
    if (!object.isObject()) {
        return nullptr;
    }
    const Json::Value* member = object.find(name, name + std::strlen(name));
    return member != nullptr && member->isObject() ? member : nullptr;
}

}  // namespace

std::string DiskApiBase() {
    return "https://" + GetDeploymentProfile().diskApiHost;
}

int CNbxFsDiskApi::Send(const char* operation, const std::string& url, const std::string& login,
                        const std::string& password, std::vector<int> accepted,
                        std::string* answer) {
    WriteLog(LogLevel::Info,
             StrPrintf("CNbxFsDiskApi::%s() with arg: \"%s\" invoked...", operation, url.c_str()));
    const bool listing = std::string_view(operation) == "_LIST";
    if (listing) {
        Clear();
    }
    return SendFsRequest({.className = kClass,
                          .operation = operation,
                          .method = "GET",
                          .url = url,
                          .headers = {BasicAuthorization(login, password)},
                          .basicAuth = std::make_pair(login, password),
                          .accepted = std::move(accepted),
                          .listing = listing},
                         answer);
}

int CNbxFsDiskApi::_LIST(const std::string& path, const std::string& login,
                         const std::string& password) {
    std::string answer;
    const int result = Send("_LIST", DiskApiBase() + "/nxapi/getList/?path=" + path, login,
                            password, {200, 207}, &answer);
    if (result != FsResult::kOk) {
        return result;
    }
    return ReadListing(answer, path) ? FsResult::kOk : FsResult::kLocalFailure;
}

bool CNbxFsDiskApi::ReadListing(const std::string& answer, const std::string& escapedFolder) {
    Json::CharReaderBuilder builder;
    builder["allowComments"] = true;
    builder["collectComments"] = false;
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string errors;
    bool parsed = false;
    try {
        parsed = reader->parse(answer.data(), answer.data() + answer.size(), &root, &errors);
    } catch (const Json::Exception& e) {
        // Nesting deeper than the reader's stack limit is thrown, not reported.
        errors = e.what();
    }
    if (!parsed) {
        while (!errors.empty() && errors.back() == '\n') {
            errors.pop_back();
        }
        WriteLog(LogLevel::Error,
                 StrPrintf("CNbxFsWebDav::_LIST(): Json::Reader::parse() failed with error: \"%s\"",
                           errors.c_str()));
        return false;
    }
    if (root.isObject() && root.isMember("resultCode") && root["resultCode"].isIntegral()) {
        // Any integer a server writes, up to 64 bits: asInt() throws beyond int.
        const Json::Value& code = root["resultCode"];
        const std::string text =
            code.isInt64() ? std::to_string(code.asInt64()) : std::to_string(code.asUInt64());
        WriteLog(LogLevel::Debug,
                 StrPrintf("CNbxFsWebDav::_LIST(): ResultCode = \"%s\"", text.c_str()));
    }
    const Json::Value* response = ObjectMember(root, "response");
    if (response == nullptr || !response->isMember("items")) {
        return true;
    }
    const Json::Value& items = (*response)["items"];
    std::vector<const Json::Value*> list;
    if (items.isArray() || items.isObject()) {
        for (const Json::Value& item : items) {  // an object's values, by member name
            list.push_back(&item);
        }
    }
    const std::string folder = DecodeUrlPath(escapedFolder);
    for (const Json::Value* item : list) {
        const Json::Value* name = StringMember(*item, "name");
        if (name == nullptr) {
            continue;
        }
        const std::string href = escapedFolder + EscapeUrlPath(name->asString());
        WriteLog(LogLevel::Debug, "Href File: " + href);
        const std::string problem = EntryNameProblem(name->asString());
        if (!problem.empty()) {
            // Any plain path made from it would address another resource.
            WriteLog(LogLevel::Warning,
                     StrPrintf("CNbxFsDiskApi::_LIST(): entry \"%s\" left out: %s", href.c_str(),
                               problem.c_str()));
            NoteLeftOut();
            continue;
        }
        const Json::Value* prop = ObjectMember(*item, "prop");
        const Json::Value* size = prop != nullptr ? StringMember(*prop, "actualsize") : nullptr;
        if (size == nullptr) {
            continue;
        }
        WriteLog(LogLevel::Debug, "Content Length: " + size->asString());
        const Json::Value* type = StringMember(*prop, "contenttype");
        if (type == nullptr) {
            continue;
        }
        WriteLog(LogLevel::Debug, "Content Type: " + type->asString());
        const bool isFolder = type->asString() == kFolderType;
        if (isFolder) {
            WriteLog(LogLevel::Debug, "Folder: TRUE");
        }
        const Json::Value* time = StringMember(*prop, "datetime");
        if (time == nullptr) {
            continue;
        }
        WriteLog(LogLevel::Debug, "Modify Time: " + time->asString());
        Add(std::make_unique<CNbxFile>(CNbxFile::Decoded{folder + name->asString()}, isFolder,
                                       time->asString(), type->asString(),
                                       ParseSize(size->asString())));
        WriteLog(LogLevel::Debug, "----------");
    }
    // The listed folder itself, as a WebDAV listing has it.
    Add(std::make_unique<CNbxFile>(CNbxFile::Decoded{folder}, true, std::string(), kFolderType, 0));
    return true;
}

int CNbxFsDiskApi::_CREATE(const std::string& path, const std::string& login,
                           const std::string& password) {
    return Send("_CREATE", DiskApiBase() + "/nxapi/mkdir/?path=" + path, login, password,
                {200, 201}, nullptr);
}

int CNbxFsDiskApi::_DELETE(const std::string& path, const std::string& login,
                           const std::string& password) {
    return Send("_DELETE", DiskApiBase() + "/nxapi/delete/?path=" + path, login, password,
                {200, 204, 207}, nullptr);
}

int CNbxFsDiskApi::_COPY(const std::string& source, const std::string& destination,
                         const std::string& login, const std::string& password) {
    return Send("_COPY",
                DiskApiBase() + "/nxapi/copy/?srcpath=" + source + "&destpath=" + destination,
                login, password, {200, 201, 204, 207}, nullptr);
}

int CNbxFsDiskApi::_MOVE(const std::string& source, const std::string& destination,
                         const std::string& login, const std::string& password) {
    return Send("_MOVE",
                DiskApiBase() + "/nxapi/move/?srcpath=" + source + "&destpath=" + destination,
                login, password, {200, 201, 204, 207}, nullptr);
}
