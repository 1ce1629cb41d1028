#include "remotefs/multistatus.h"

namespace nbx::remotefs {

namespace {

using nbx::xml::Document;
using nbx::xml::Node;

// Compiled once for every answer; none calls a function, so they are safe to share by threads.
struct Queries {
    Document::Query response = Document::Compile("/D:multistatus/D:response");
    Document::Query href = Document::Compile("./D:href");
    Document::Query contentLength = Document::Compile("./D:propstat/D:prop/D:getcontentlength");
    Document::Query contentType = Document::Compile("./D:propstat/D:prop/D:getcontenttype");
    Document::Query lastModified = Document::Compile("./D:propstat/D:prop/D:getlastmodified");
    Document::Query resourceType = Document::Compile("./D:propstat/D:prop/D:resourcetype");
    Document::Query collection = Document::Compile("./D:collection");
};

const Queries& TheQueries() {
    static const Queries queries;
    return queries;
}

std::optional<std::string> FirstText(const Document& doc, const Document::Query& query,
                                     Node context) {
    if (auto node = doc.SelectFirst(query, context)) {
        return doc.Text(*node);
    }
    return std::nullopt;
}

}  // namespace

bool ParseMultistatus(std::string_view body, std::vector<DavResponse>& responses,
                      nbx::xml::ParseError& error) {
    responses.clear();
    const std::unique_ptr<Document> doc = Document::Parse(body, &error);
    if (doc == nullptr) {
        return false;
    }
    ReadMultistatus(*doc, responses);
    return true;
}

bool MultistatusParser::Write(const char* data, std::size_t size) {
    builder_.Feed(data, size);  // a bad document still arrives whole, to end the request cleanly
    return true;
}

bool MultistatusParser::Finish(std::vector<DavResponse>& responses, nbx::xml::ParseError& error) {
    responses.clear();
    const std::unique_ptr<Document> doc = builder_.Finish(&error);
    if (doc == nullptr) {
        return false;
    }
    ReadMultistatus(*doc, responses);
    return true;
}

void ReadMultistatus(const nbx::xml::Document& document, std::vector<DavResponse>& responses) {
    const Document* doc = &document;
    const Queries& q = TheQueries();
    const std::vector<Node> nodes = doc->Select(q.response, doc->Root());
    std::vector<DavResponse> out;
    out.reserve(nodes.size());
    for (const Node& node : nodes) {
        DavResponse& entry = out.emplace_back();
        entry.href = FirstText(*doc, q.href, node);
        entry.contentLength = FirstText(*doc, q.contentLength, node);
        entry.contentType = FirstText(*doc, q.contentType, node);
        entry.lastModified = FirstText(*doc, q.lastModified, node);
        if (auto type = doc->SelectFirst(q.resourceType, node)) {
            entry.isFolder = doc->SelectFirst(q.collection, *type).has_value();
        }
    }
    responses = std::move(out);
}

}  // namespace nbx::remotefs
