// The cloud disk's JSON listing: never throws, ends with the folder itself when it has items,
// puts every entry right under the folder with its name as listed, and depends on the JSON value
// only, not on how it was written.
#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "check.h"
#include "remotefs/fs_diskapi.h"

namespace {

const std::string kFolder = "/docs/";

using Entry = std::tuple<std::string, bool, std::string, std::string, std::uint64_t>;

bool Read(const std::string& answer, std::vector<Entry>& entries) {
    CNbxFsDiskApi disk;
    const bool ok = disk.ReadListing(answer, kFolder);
    for (const CNbxFile* f = disk.GetFirst(); f != nullptr; f = disk.GetNext()) {
        entries.emplace_back(f->name, f->isFolder, f->modifiedTime, f->contentType, f->size);
    }
    return ok;
}

// The names of the items that make an entry, as the server wrote them; a name that cannot
// stand for one entry of the folder makes none.
std::vector<std::string> ListedNames(const Json::Value& root) {  // const: [] adds nothing
    std::vector<std::string> names;
    if (!root.isObject() || !root["response"].isObject()) {
        return names;
    }
    for (const Json::Value& item : root["response"]["items"]) {
        if (!item.isObject() || !item["name"].isString() || !item["prop"].isObject()) {
            continue;
        }
        const Json::Value& prop = item["prop"];
        if (prop["actualsize"].isString() && prop["contenttype"].isString() &&
            prop["datetime"].isString() && EntryNameProblem(item["name"].asString()).empty()) {
            names.push_back(item["name"].asString());
        }
    }
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string answer(reinterpret_cast<const char*>(data), size);
    std::vector<Entry> entries;
    const bool ok = Read(answer, entries);
    if (!ok) {
        FUZZ_CHECK(entries.empty());
        return 0;
    }
    Json::CharReaderBuilder builder;
    builder["allowComments"] = true;
    builder["collectComments"] = false;  // written back, a "// ..." would swallow the rest
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    FUZZ_CHECK(reader->parse(answer.data(), answer.data() + answer.size(), &root, nullptr));

    // Without "response" and its "items" the listing is empty, not even the folder itself.
    const Json::Value& value = root;
    if (!value.isObject() || !value["response"].isObject() ||
        !value["response"].isMember("items")) {
        FUZZ_CHECK(entries.empty());
        return 0;
    }
    FUZZ_CHECK(!entries.empty());
    FUZZ_CHECK(entries.back() == Entry(kFolder, true, "", "httpd/unix-directory", 0));
    for (const Entry& e : entries) {
        FUZZ_CHECK(std::get<0>(e).starts_with(kFolder));
        // One entry of the folder: no deeper path, no "." or "..".
        const std::string rest = std::get<0>(e).substr(kFolder.size());
        FUZZ_CHECK(rest.find('/') == std::string::npos && rest != "." && rest != "..");
        FUZZ_CHECK(std::get<1>(e) == (std::get<3>(e) == "httpd/unix-directory"));
    }

    // Each item with the four members, in order, named by its own name under the folder.
    const std::vector<std::string> names = ListedNames(value);
    FUZZ_CHECK(names.size() + 1 == entries.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        FUZZ_CHECK(std::get<0>(entries[i]) == kFolder + names[i]);  // byte for byte
    }

    // The same value written out again reads as the same listing.
    Json::StreamWriterBuilder writer;
    writer["indentation"] = "";
    writer["emitUTF8"] = true;  // bytes as they were, valid UTF-8 or not
    const std::string again = Json::writeString(writer, root);
    std::vector<Entry> reread;
    FUZZ_CHECK(Read(again, reread));
    FUZZ_CHECK(reread == entries);
    return 0;
}
