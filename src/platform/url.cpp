#include "platform/url.h"

#include <curl/curl.h>
#include <memory>

namespace nbx::url {

namespace {

struct FreeUrl {
    void operator()(CURLU* handle) const { curl_url_cleanup(handle); }
};

std::optional<std::string> Get(CURLU* handle, CURLUPart part, unsigned flags = 0) {
    char* value = nullptr;
    if (curl_url_get(handle, part, &value, flags) != CURLUE_OK || value == nullptr) {
        return std::nullopt;
    }
    std::string out(value);
    curl_free(value);
    return out;
}

// libcurl forgives missing slashes ("http:/h/x", and "c:/x" becomes host "x"), and takes
// "http:///x" as host "x"; an absolute URL here is "scheme://" followed by its authority.
bool HasAuthority(std::string_view url) {
    if (url.find('\0') != std::string_view::npos) {
        return false;  // libcurl would read only the text before it
    }
    const auto separator = url.find("://");
    if (separator == std::string_view::npos || separator == 0) {
        return false;
    }
    for (const char c : url.substr(0, separator)) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (!letter && !other) {
            return false;
        }
    }
    const auto rest = url.substr(separator + 3);
    return !rest.empty() && rest.front() != '/';
}

// libcurl hands a host name back with its "%XX" decoded; the host as the URL writes it, when
// that is what libcurl read ("a%41b", not "aAb"), so that the parts put back together split
// the same. A bracketed IPv6 host keeps libcurl's, whose zone is put back below.
std::string HostAsWritten(std::string_view url, std::string decoded) {
    const std::size_t start = url.find("://") + 3;
    std::string_view authority = url.substr(start, url.find_first_of("/?#", start) - start);
    if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    if (const auto colon = authority.rfind(':'); colon != std::string_view::npos) {
        authority = authority.substr(0, colon);
    }
    if (authority.starts_with('[') || authority.find('%') == std::string_view::npos ||
        PercentDecode(authority) != decoded) {
        return decoded;
    }
    return std::string(authority);
}

}  // namespace

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string PercentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexDigit(text[i + 1]) >= 0 &&
            HexDigit(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 1]) * 16 + HexDigit(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<UrlParts> SplitUrl(std::string_view url) {
    if (!HasAuthority(url)) {
        return std::nullopt;
    }
    std::unique_ptr<CURLU, FreeUrl> handle(curl_url());
    if (handle == nullptr) {
        return std::nullopt;
    }
    // Servers put spaces and other schemes in hrefs too; taking them apart is all we do here.
    const unsigned flags = CURLU_PATH_AS_IS | CURLU_ALLOW_SPACE | CURLU_NON_SUPPORT_SCHEME;
    if (curl_url_set(handle.get(), CURLUPART_URL, std::string(url).c_str(), flags) != CURLUE_OK) {
        return std::nullopt;
    }
    auto scheme = Get(handle.get(), CURLUPART_SCHEME);
    auto host = Get(handle.get(), CURLUPART_HOST);
    auto path = Get(handle.get(), CURLUPART_PATH);
    if (!scheme || !host || host->empty() || !path) {
        return std::nullopt;
    }
    // libcurl hands the zone of an IPv6 host back apart from it.
    if (auto zone = Get(handle.get(), CURLUPART_ZONEID); zone && host->back() == ']') {
        host->insert(host->size() - 1, "%25" + *zone);
    }
    UrlParts parts{.scheme = std::move(*scheme), .host = HostAsWritten(url, std::move(*host))};
    if (auto port = Get(handle.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT)) {
        parts.port = std::stoi(*port);
    }
    parts.object = std::move(*path);
    if (auto query = Get(handle.get(), CURLUPART_QUERY)) {
        parts.object += '?';
        parts.object += *query;
    }
    return parts;
}

}  // namespace nbx::url
