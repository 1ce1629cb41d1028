// The URL splitter: any text is taken apart or refused without failing, the parts keep the
// documented shape, and a URL put back together from its parts splits into the same parts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "platform/url.h"

namespace {

std::string Join(const nbx::url::UrlParts& p) {
    // Always with the port: an explicit ":0" is the URL's own port, whatever the scheme.
    return p.scheme + "://" + p.host + ":" + std::to_string(p.port) + p.object;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view url(reinterpret_cast<const char*>(data), size);
    const auto parts = nbx::url::SplitUrl(url);
    if (!parts) {
        return 0;
    }
    FUZZ_CHECK(!parts->scheme.empty() && !parts->host.empty());
    for (const char c : parts->scheme) {
        FUZZ_CHECK(!(c >= 'A' && c <= 'Z'));
    }
    FUZZ_CHECK(parts->port >= 0 && parts->port <= 65535);
    FUZZ_CHECK(parts->object.starts_with("/"));
    FUZZ_CHECK(parts->object.find('#') == std::string::npos);
    for (const char c : parts->host + parts->object) {
        FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    }
    const std::string joined = Join(*parts);
    const auto again = nbx::url::SplitUrl(joined);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(again->scheme == parts->scheme);
    FUZZ_CHECK(again->host == parts->host);
    FUZZ_CHECK(again->port == parts->port);
    FUZZ_CHECK(again->object == parts->object);
    return 0;
}
