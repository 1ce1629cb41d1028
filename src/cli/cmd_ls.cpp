#include <json/json.h>
#include <ctime>
#include <optional>
#include <ostream>

#include "base/control_text.h"
#include "cli/options.h"
#include "cli/verb_support.h"
#include "platform/server_time.h"
#include "remotefs/fs_service.h"

namespace nbx::cli {

namespace {

constexpr std::size_t kIsoTimeWidth = 25;  // 2026-12-11T13:04:05+01:00

bool SameFolder(const std::string& a, const std::string& b) {
    auto trim = [](std::string s) {
        while (s.size() > 1 && s.back() == '/') {
            s.pop_back();
        }
        return s;
    };
    return trim(a) == trim(b);
}

}  // namespace

int RunLs(const std::vector<std::string>& args, Io& io) {
    Verb verb("ls", io);
    Options options;
    std::string error;
    if (!options.Parse(args, {}, {"json"}, error)) {
        return verb.Usage(error);
    }
    if (options.Positional().size() != 1) {
        return verb.Usage("give one TITLE:/folder/");
    }
    auto remote = verb.Remote(options.Positional()[0]);
    if (!remote) {
        return kFailed;
    }
    std::string folder = remote->path;
    if (folder.back() != '/') {
        folder += '/';
    }
    CNbxFileSystemService fs;
    // The window keeps itself responsive with the listing's 10 s bound; a script would rather
    // wait for a large folder, which the transfer's own stall time-outs still bound.
    fs.SetListWaitRounds(kScriptListWaitRounds);
    const int result = fs._LIST(*remote->node, folder);
    if (result != 200) {
        return verb.FailResult(result);
    }
    // Entries carry their full server path; the listed folder itself is one of them.
    const std::string self =
        remote->node->device_type == 9 ? folder : "/" + remote->node->node_name + folder;
    Json::Value json(Json::arrayValue);
    std::string text;
    for (const CNbxFile* f = fs.GetFirst(); f != nullptr; f = fs.GetNext()) {
        if (f->name.empty() || SameFolder(f->name, self)) {
            continue;
        }
        const std::string name = BaseName(f->name);
        // Each server writes its own date form; one form, in local time, reads and sorts alike.
        const std::optional<std::time_t> when = nbx::ParseServerTime(f->modifiedTime);
        const std::string iso = when ? nbx::FormatLocalIsoTime(*when) : std::string();
        if (options.Flag("json")) {
            Json::Value item;
            item["name"] = name;
            item["path"] = f->name;
            item["size"] = Json::UInt64(f->size);
            item["modified"] = f->modifiedTime;
            item["modified_iso"] = iso.empty() ? Json::Value() : Json::Value(iso);
            item["content_type"] = f->contentType;
            item["folder"] = f->isFolder;
            json.append(item);
        } else {
            text += f->isFolder ? "d " : "- ";
            const std::string size = std::to_string(f->size);
            text += std::string(size.size() < 14 ? 14 - size.size() : 0, ' ') + size + "  ";
            // The server's texts reach a terminal: no escape sequence of theirs may.
            text += !iso.empty()              ? iso
                    : f->modifiedTime.empty() ? std::string(kIsoTimeWidth, '-')
                                              : ShowControlCharacters(f->modifiedTime);
            text += "  " + ShowControlCharacters(name) + (f->isFolder ? "/" : "") + "\n";
        }
    }
    if (options.Flag("json")) {
        Json::StreamWriterBuilder writer;
        writer["indentation"] = "";
        writer["emitUTF8"] = true;
        io.out << Json::writeString(writer, json) << '\n';
    } else {
        io.out << text;
    }
    return kOk;
}

}  // namespace nbx::cli
