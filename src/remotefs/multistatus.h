#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/http_client.h"
#include "platform/xml.h"

namespace nbx::remotefs {

// One "response" of a PROPFIND answer, as the server wrote it. A property the response does not
// carry is nullopt; one that is present but empty is an empty string. When several propstat
// blocks hold the same property (a 404 block beside the 200 one), the first in document order
// counts, whatever its status.
struct DavResponse {
    std::optional<std::string> href;           // as written: absolute URL or path, undecoded
    std::optional<std::string> contentLength;  // getcontentlength
    std::optional<std::string> contentType;    // getcontenttype
    std::optional<std::string> lastModified;   // getlastmodified
    bool isFolder = false;                     // the first resourcetype holds a collection
};

// Reads a DAV multistatus answer into `responses` (replacing what was there), one entry per
// "/D:multistatus/D:response" in document order. False, with the parser's code and reason in
// `error` and no responses, when the body is not well-formed XML; a well-formed body that is no
// multistatus gives true and no responses. The whole body is parsed before anything is returned.
bool ParseMultistatus(std::string_view body, std::vector<DavResponse>& responses,
                      nbx::xml::ParseError& error);

// The responses of a parsed multistatus document (none when it is no multistatus).
void ReadMultistatus(const nbx::xml::Document& doc, std::vector<DavResponse>& responses);

// Parses an answer while it arrives: the response body's sink of a listing.
class MultistatusParser : public nbx::http::BodySink {
public:
    bool Write(const char* data, std::size_t size) override;
    // As ParseMultistatus, once the whole body has been written.
    bool Finish(std::vector<DavResponse>& responses, nbx::xml::ParseError& error);

private:
    nbx::xml::DocumentBuilder builder_;
};

}  // namespace nbx::remotefs
