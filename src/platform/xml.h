#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct _xmlDoc;
struct _xmlParserCtxt;
struct _xmlNode;
struct _xmlXPathContext;

// Read-only XML documents from servers, searched with XPath 1.0.
namespace nbx::xml {

// The code is libxml2's error number (its xmlParserErrors values), or kRefusedDoctype.
struct ParseError {
    int code = 0;
    std::string reason;
};

// A document that declares a DOCTYPE: refused before its DTD is read, so entities never expand.
inline constexpr int kRefusedDoctype = 10000;

// A handle to a node of one Document, valid as long as that Document lives. Cheap to copy.
class Node {
public:
    bool operator==(const Node&) const = default;

private:
    friend class Document;
    explicit Node(_xmlNode* node) : node_(node) {}
    _xmlNode* node_;
};

// A parsed document. Parsing never reads a DTD, expands an entity, or touches a file or the
// network, and nothing is printed: errors come back to the caller. The prefix D is bound to the
// namespace "DAV:" in every expression.
//
// Separate documents may be used on separate threads; one document belongs to one thread at a
// time (evaluation reuses the document's XPath context). A compiled Query holds no document and
// may be shared by threads as long as it calls no XPath functions: libxml2 caches the function
// lookup inside the expression on first use.
class Document {
public:
    class Query {
    public:
        // An expression that did not compile selects nothing.
        explicit operator bool() const { return compiled_ != nullptr; }

    private:
        friend class Document;
        struct Compiled;
        struct Free {
            void operator()(Compiled* compiled) const;
        };
        std::unique_ptr<Compiled, Free> compiled_;
    };

    // Null when the bytes are not a well-formed, namespace-correct XML document; `error` (may be
    // null) then says why.
    static std::unique_ptr<Document> Parse(std::string_view bytes, ParseError* error);

    // Compile once, evaluate many times: a Query is independent of any document.
    static Query Compile(const char* xpath, ParseError* error = nullptr);

    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    // The nodes the expression selects relative to `context`, in document order. Empty when the
    // expression yields no node-set (a number, a string) or fails. Namespace nodes are left out.
    std::vector<Node> Select(const Query& query, Node context) const;
    std::optional<Node> SelectFirst(const Query& query, Node context) const;

    // The document node, the context for absolute expressions.
    Node Root() const;

    // The XPath string value: the text and CDATA descendants of an element or the document
    // concatenated, as written (no trimming); the value of an attribute or a text node. Blanks
    // followed by a tag, a comment or a CDATA section are indentation and dropped at parsing; an
    // element that holds nothing but text keeps it all, blanks included.
    std::string Text(Node node) const;

private:
    friend class DocumentBuilder;
    struct FreeDoc {
        void operator()(_xmlDoc* doc) const;
    };
    struct FreeContext {
        void operator()(_xmlXPathContext* context) const;
    };

    Document() = default;
    // Takes the parsed tree out of a parser context, which it frees, and readies it for queries.
    static std::unique_ptr<Document> Adopt(_xmlParserCtxt* ctxt, void* errors, ParseError* error);
    void Prepare(const Query& query) const;

    std::unique_ptr<_xmlDoc, FreeDoc> doc_;
    std::unique_ptr<_xmlXPathContext, FreeContext> xpath_;
    mutable bool ordered_ = false;
};

// Parses a document that arrives in pieces, so that parsing keeps pace with the network
// instead of starting when the last byte is in. The same rules as Document::Parse.
class DocumentBuilder {
public:
    DocumentBuilder();
    ~DocumentBuilder();
    DocumentBuilder(const DocumentBuilder&) = delete;
    DocumentBuilder& operator=(const DocumentBuilder&) = delete;

    // False once the document is known to be bad; the rest need not be fed.
    bool Feed(const char* data, std::size_t size);
    // The document, or null with the reason in `error` (may be null).
    std::unique_ptr<Document> Finish(ParseError* error);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace nbx::xml
