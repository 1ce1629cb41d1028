#pragma once

#include <optional>
#include <string>
#include <string_view>

// Taking apart absolute URLs, as servers report them in listings.
namespace nbx::url {

// The parts are kept as written: nothing is decoded, encoded or normalised ("." and ".." stay,
// "%zz" stays, spaces and non-ASCII bytes stay). The scheme is lower-cased. An IPv6 host keeps
// its brackets (and its zone, "%25eth0"), so "scheme://host:port" can be put back together.
struct UrlParts {
    std::string scheme;
    std::string host;
    int port = 0;        // the URL's own, else the scheme's (80, 443, ...); 0 for an unknown scheme
    std::string object;  // the path, and "?query" when there is one; "/" when the path is empty
};

// Nullopt unless the text is an absolute URL, "scheme://host...", with a host: a path such as
// "/box/a%20b.txt" is not one. Control characters and an out-of-range port make it invalid; the
// fragment ("#...") is not part of the object.
std::optional<UrlParts> SplitUrl(std::string_view url);

// The value of a hex digit, or -1.
int HexDigit(char c);
// "%" and two hex digits give that byte, whatever it is; everything else, "+" and a "%"
// without two hex digits included, is copied.
std::string PercentDecode(std::string_view text);

}  // namespace nbx::url
