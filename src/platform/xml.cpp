#include "platform/xml.h"

#include <libxml/parser.h>
#include <libxml/parserInternals.h>
#include <libxml/xmlerror.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <algorithm>
#include <climits>
#include <mutex>

namespace nbx::xml {

namespace {

const xmlChar* const kDavPrefix = BAD_CAST "D";
const xmlChar* const kDavNamespace = BAD_CAST "DAV:";

void InitOnce() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

// Keeps the first error: what follows it is mostly its consequences.
struct ErrorSink {
    bool doctype = false;
    bool failed = false;
    ParseError first;

    void Take(const xmlError* e) {
        if (failed || e == nullptr || e->level == XML_ERR_WARNING) {
            return;
        }
        failed = true;
        first.code = e->code;
        std::string reason = e->message != nullptr ? e->message : "unknown error";
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) {
            reason.pop_back();
        }
        if (e->line > 0) {
            reason +=
                " (line " + std::to_string(e->line) + ", column " + std::to_string(e->int2) + ")";
        }
        first.reason = std::move(reason);
    }
};

void OnParserError(void* userData, xmlErrorPtr e) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    static_cast<ErrorSink*>(ctxt->_private)->Take(e);
}

void OnThreadError(void* sink, xmlErrorPtr e) {
    static_cast<ErrorSink*>(sink)->Take(e);
}

// Stops before the internal subset is read: no entity is ever declared, let alone expanded.
void OnDoctype(void* userData, const xmlChar*, const xmlChar*, const xmlChar*) {
    auto* ctxt = static_cast<xmlParserCtxtPtr>(userData);
    static_cast<ErrorSink*>(ctxt->_private)->doctype = true;
    xmlStopParser(ctxt);
}

// Character conversion reports errors without a parser context, to this thread's handler, which
// would otherwise print them. Per thread, so other threads' handlers stay as they are.
class ThreadErrorScope {
public:
    explicit ThreadErrorScope(ErrorSink* sink)
        : handler_(xmlStructuredError), context_(xmlStructuredErrorContext) {
        xmlSetStructuredErrorFunc(sink, OnThreadError);
    }
    ~ThreadErrorScope() { xmlSetStructuredErrorFunc(context_, handler_); }
    ThreadErrorScope(const ThreadErrorScope&) = delete;
    ThreadErrorScope& operator=(const ThreadErrorScope&) = delete;

private:
    xmlStructuredErrorFunc handler_;
    void* context_;
};

void Fail(ParseError* error, int code, std::string reason) {
    if (error != nullptr) {
        error->code = code;
        error->reason = std::move(reason);
    }
}

void Succeed(ParseError* error) {
    if (error != nullptr) {
        *error = {};
    }
}

bool IsText(const xmlNode* n) {
    return n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE;
}

bool IsNameStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// An ASCII NCName at `pos`, which it passes; empty when there is none.
std::string_view ReadName(std::string_view text, std::size_t& pos) {
    const std::size_t start = pos;
    if (pos < text.size() && IsNameStart(text[pos])) {
        while (++pos < text.size() && IsNameChar(text[pos])) {
        }
    }
    return text.substr(start, pos - start);
}

}  // namespace

// A path of child steps, the shape of nearly every query on an answer, is walked directly:
// libxml2's evaluator allocates a parser context and node-sets on every call, which costs more
// than the parse itself when it runs a few times for each of 100,000 responses. Anything else
// goes to libxml2.
struct Document::Query::Compiled {
    struct Step {
        std::string local;
        bool dav = false;  // in "DAV:", else in no namespace
    };
    bool absolute = false;
    std::vector<Step> steps;
    xmlXPathCompExprPtr expr = nullptr;

    ~Compiled() { xmlXPathFreeCompExpr(expr); }

    // "/a/D:b", "./D:a/b" or "a": child steps only, with no prefix other than D.
    bool ReadPath(std::string_view text) {
        std::size_t pos = 0;
        if (text.starts_with("./")) {
            pos = 2;
        } else if (text.starts_with("/")) {
            absolute = true;
            pos = 1;
        }
        for (;;) {
            Step step;
            std::string_view name = ReadName(text, pos);
            if (pos < text.size() && text[pos] == ':') {
                if (name != "D") {
                    return false;
                }
                ++pos;
                step.dav = true;
                name = ReadName(text, pos);
            }
            if (name.empty()) {
                return false;
            }
            step.local = name;
            steps.push_back(std::move(step));
            if (pos == text.size()) {
                return true;
            }
            if (text[pos++] != '/') {
                return false;
            }
        }
    }

    static bool Matches(const xmlNode* node, const Step& step) {
        if (node->type != XML_ELEMENT_NODE ||
            step.local != reinterpret_cast<const char*>(node->name)) {
            return false;
        }
        if (!step.dav) {
            return node->ns == nullptr;
        }
        return node->ns != nullptr && xmlStrEqual(node->ns->href, kDavNamespace);
    }

    // Depth first along the child axis, which is document order; false once `visit` says stop.
    template <class Visit>
    bool Walk(xmlNode* from, std::size_t step, Visit& visit) const {
        for (xmlNode* child = from->children; child != nullptr; child = child->next) {
            if (!Matches(child, steps[step])) {
                continue;
            }
            if (step + 1 == steps.size() ? !visit(child) : !Walk(child, step + 1, visit)) {
                return false;
            }
        }
        return true;
    }

    template <class Visit>
    void Run(xmlDoc* doc, xmlXPathContext* xpath, xmlNode* context, Visit visit) const {
        if (expr == nullptr) {
            Walk(absolute ? reinterpret_cast<xmlNode*>(doc) : context, 0, visit);
            return;
        }
        ErrorSink ignored;  // the context's handler takes evaluation errors; this, the rest
        ThreadErrorScope scope(&ignored);
        xpath->node = context;
        xmlXPathObjectPtr result = xmlXPathCompiledEval(expr, xpath);
        if (result != nullptr && result->type == XPATH_NODESET && result->nodesetval != nullptr) {
            const xmlNodeSet& set = *result->nodesetval;
            for (int i = 0; i < set.nodeNr; ++i) {
                // Namespace nodes are copies that die with the result.
                if (set.nodeTab[i]->type != XML_NAMESPACE_DECL && !visit(set.nodeTab[i])) {
                    break;
                }
            }
        }
        xmlXPathFreeObject(result);
    }
};

void Document::Query::Free::operator()(Compiled* compiled) const {
    delete compiled;
}

Document::Query Document::Compile(const char* xpath, ParseError* error) {
    InitOnce();
    Query query;
    query.compiled_.reset(new Query::Compiled());
    if (query.compiled_->ReadPath(xpath)) {
        Succeed(error);
        return query;
    }
    query.compiled_.reset(new Query::Compiled());  // drops the steps read so far
    ErrorSink sink;
    ThreadErrorScope scope(&sink);
    xmlXPathContextPtr context = xmlXPathNewContext(nullptr);
    if (context == nullptr) {
        Fail(error, XML_ERR_NO_MEMORY, "Cannot create an XPath context");
        query.compiled_.reset();
        return query;
    }
    context->error = OnThreadError;
    context->userData = &sink;
    query.compiled_->expr = xmlXPathCtxtCompile(context, BAD_CAST xpath);
    xmlXPathFreeContext(context);
    if (query.compiled_->expr == nullptr) {
        Fail(error, sink.failed ? sink.first.code : XPATH_EXPR_ERROR,
             sink.failed ? sink.first.reason : "Invalid expression");
        query.compiled_.reset();
        return query;
    }
    Succeed(error);
    return query;
}

void Document::Prepare(const Query& query) const {
    if (query.compiled_->expr != nullptr && !ordered_) {
        // Numbers the elements, which makes sorting libxml2's node-sets into document order cheap.
        xmlXPathOrderDocElems(doc_.get());
        ordered_ = true;
    }
}

std::vector<Node> Document::Select(const Query& query, Node context) const {
    std::vector<Node> out;
    if (query) {
        Prepare(query);
        query.compiled_->Run(doc_.get(), xpath_.get(), context.node_, [&](xmlNode* node) {
            out.push_back(Node(node));
            return true;
        });
    }
    return out;
}

std::optional<Node> Document::SelectFirst(const Query& query, Node context) const {
    std::optional<Node> first;
    if (query) {
        Prepare(query);
        query.compiled_->Run(doc_.get(), xpath_.get(), context.node_, [&](xmlNode* node) {
            first = Node(node);
            return false;
        });
    }
    return first;
}

void Document::FreeDoc::operator()(_xmlDoc* doc) const {
    xmlFreeDoc(doc);
}

void Document::FreeContext::operator()(_xmlXPathContext* context) const {
    xmlXPathFreeContext(context);
}

Document::~Document() = default;

namespace {

// The same settings for a whole buffer and for pieces.
void Configure(xmlParserCtxtPtr ctxt, ErrorSink* sink) {
    // No NOENT, DTDLOAD, DTDATTR or XINCLUDE: with the DOCTYPE refused they would have nothing to
    // work on, and leaving them out keeps it that way should the refusal ever be lifted.
    // NOBLANKS drops the indentation between tags, a third of the nodes of an answer; an element
    // that holds nothing but text keeps it as written, blanks included.
    xmlCtxtUseOptions(ctxt, XML_PARSE_NONET | XML_PARSE_COMPACT | XML_PARSE_NOBLANKS);
    ctxt->_private = sink;
    ctxt->sax->serror = OnParserError;
    ctxt->sax->error = nullptr;
    ctxt->sax->warning = nullptr;
    ctxt->sax->internalSubset = OnDoctype;
    ctxt->sax->externalSubset = nullptr;
}

}  // namespace

std::unique_ptr<Document> Document::Parse(std::string_view bytes, ParseError* error) {
    InitOnce();
    if (bytes.empty()) {
        Fail(error, XML_ERR_DOCUMENT_EMPTY, "Document is empty");
        return nullptr;
    }
    if (bytes.size() > INT_MAX) {
        Fail(error, XML_ERR_INTERNAL_ERROR, "Document is too large");
        return nullptr;
    }
    ErrorSink sink;
    ThreadErrorScope scope(&sink);
    xmlParserCtxtPtr ctxt = xmlCreateMemoryParserCtxt(bytes.data(), static_cast<int>(bytes.size()));
    if (ctxt == nullptr) {
        Fail(error, XML_ERR_NO_MEMORY, "Cannot create a parser");
        return nullptr;
    }
    Configure(ctxt, &sink);
    xmlParseDocument(ctxt);
    // A NUL byte after the root element reads as the end of the text, and what follows it is
    // never looked at; as in pieces, where the parser sees it, the document is not well-formed.
    if (!sink.failed && !sink.doctype && ctxt->wellFormed &&
        xmlByteConsumed(ctxt) < static_cast<long>(bytes.size())) {
        sink.failed = true;
        sink.first = {.code = XML_ERR_DOCUMENT_END,
                      .reason = "Extra content at the end of the document"};
    }
    return Adopt(ctxt, &sink, error);
}

std::unique_ptr<Document> Document::Adopt(xmlParserCtxtPtr ctxt, void* errors, ParseError* error) {
    ErrorSink& sink = *static_cast<ErrorSink*>(errors);
    std::unique_ptr<_xmlDoc, FreeDoc> doc(ctxt->myDoc);
    ctxt->myDoc = nullptr;
    // Namespace errors (an undeclared prefix) leave libxml2's wellFormed set; they are fatal here.
    // So are errors raised outside the parser's context: bytes that do not convert from the
    // declared encoding halt a push parser with wellFormed still set and the document cut short.
    const bool ok =
        doc != nullptr && ctxt->wellFormed && ctxt->nsWellFormed && !sink.doctype && !sink.failed;
    const int lastCode = ctxt->errNo;
    xmlFreeParserCtxt(ctxt);
    if (!ok) {
        if (sink.doctype) {
            Fail(error, kRefusedDoctype, "A DOCTYPE declaration is not accepted");
        } else if (sink.failed) {
            Fail(error, sink.first.code, std::move(sink.first.reason));
        } else {
            Fail(error, lastCode != 0 ? lastCode : XML_ERR_INTERNAL_ERROR,
                 "Document is not well-formed");
        }
        return nullptr;
    }

    std::unique_ptr<_xmlXPathContext, FreeContext> xpath(xmlXPathNewContext(doc.get()));
    if (xpath == nullptr || xmlXPathRegisterNs(xpath.get(), kDavPrefix, kDavNamespace) != 0) {
        Fail(error, XML_ERR_NO_MEMORY, "Cannot create an XPath context");
        return nullptr;
    }
    xpath->error = [](void*, xmlErrorPtr) {};  // an evaluation error selects nothing
    xmlXPathContextSetCache(xpath.get(), 1, -1, 0);

    std::unique_ptr<Document> out(new Document());
    out->doc_ = std::move(doc);
    out->xpath_ = std::move(xpath);
    Succeed(error);
    return out;
}

struct DocumentBuilder::State {
    ErrorSink sink;
    xmlParserCtxtPtr ctxt = nullptr;
    bool fed = false;
    // A "<" that ended the last piece, held back until what follows it arrives: with
    // XML_PARSE_NOBLANKS libxml2 keeps blanks before "</" (an element of blanks only) but drops
    // them before a "<" whose next character it cannot see yet.
    bool heldLess = false;
};

DocumentBuilder::DocumentBuilder() : state_(std::make_unique<State>()) {
    InitOnce();
    ThreadErrorScope scope(&state_->sink);
    state_->ctxt = xmlCreatePushParserCtxt(nullptr, nullptr, nullptr, 0, nullptr);
    if (state_->ctxt != nullptr) {
        Configure(state_->ctxt, &state_->sink);
    }
}

DocumentBuilder::~DocumentBuilder() {
    if (state_->ctxt != nullptr) {
        xmlFreeDoc(state_->ctxt->myDoc);
        state_->ctxt->myDoc = nullptr;
        xmlFreeParserCtxt(state_->ctxt);
    }
}

bool DocumentBuilder::Feed(const char* data, std::size_t size) {
    State& s = *state_;
    if (s.ctxt == nullptr || s.sink.failed || s.sink.doctype || s.ctxt->disableSAX) {
        return false;
    }
    ThreadErrorScope scope(&s.sink);
    if (size == 0) {
        return true;
    }
    s.fed = true;
    std::string joined;
    if (s.heldLess) {
        joined.reserve(size + 1);
        joined += '<';
        joined.append(data, size);
        data = joined.data();
        size = joined.size();
        s.heldLess = false;
    }
    if (data[size - 1] == '<') {
        s.heldLess = true;
        --size;
    }
    while (size > 0) {
        std::size_t piece = std::min<std::size_t>(size, 1 << 20);
        if (piece < size && data[piece - 1] == '<') {
            --piece;  // "<" goes with the character after it, as above
        }
        xmlParseChunk(s.ctxt, data, static_cast<int>(piece), 0);
        data += piece;
        size -= piece;
        if (s.sink.failed || s.sink.doctype || s.ctxt->disableSAX) {
            return false;
        }
    }
    return true;
}

std::unique_ptr<Document> DocumentBuilder::Finish(ParseError* error) {
    State& s = *state_;
    if (s.ctxt == nullptr) {
        Fail(error, XML_ERR_NO_MEMORY, "Cannot create a parser");
        return nullptr;
    }
    if (!s.fed) {
        Fail(error, XML_ERR_DOCUMENT_EMPTY, "Document is empty");
        return nullptr;
    }
    ThreadErrorScope scope(&s.sink);
    if (!s.sink.failed && !s.sink.doctype && !s.ctxt->disableSAX) {
        xmlParseChunk(s.ctxt, s.heldLess ? "<" : nullptr, s.heldLess ? 1 : 0, 1);
        s.heldLess = false;
    }
    xmlParserCtxtPtr ctxt = s.ctxt;
    s.ctxt = nullptr;
    return Document::Adopt(ctxt, &s.sink, error);
}

Node Document::Root() const {
    return Node(reinterpret_cast<xmlNode*>(doc_.get()));
}

std::string Document::Text(Node node) const {
    const xmlNode* top = node.node_;
    if (IsText(top)) {
        return top->content != nullptr ? reinterpret_cast<const char*>(top->content) : "";
    }
    const xmlNode* cur = top->children;
    // The usual case, one text child, without growing a string.
    if (cur != nullptr && cur->next == nullptr && IsText(cur) && cur->content != nullptr) {
        return reinterpret_cast<const char*>(cur->content);
    }
    std::string out;
    while (cur != nullptr) {
        if (IsText(cur) && cur->content != nullptr) {
            out += reinterpret_cast<const char*>(cur->content);
        } else if (cur->type == XML_ELEMENT_NODE && cur->children != nullptr) {
            cur = cur->children;
            continue;
        }
        while (cur != nullptr && cur->next == nullptr) {
            cur = cur->parent == top ? nullptr : cur->parent;
        }
        if (cur != nullptr) {
            cur = cur->next;
        }
    }
    return out;
}

}  // namespace nbx::xml
