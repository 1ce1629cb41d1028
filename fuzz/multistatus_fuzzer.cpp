// The multistatus parser, whole and streamed: the same body fed in pieces of any size must give
// the same answer as the body at once, and a failure leaves no responses behind. Which error a
// bad body reports first may differ: libxml2's push parser meets the faults in another order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string_view>
#include <vector>

#include "check.h"
#include "remotefs/multistatus.h"

using nbx::remotefs::DavResponse;

namespace {

bool Same(const std::vector<DavResponse>& a, const std::vector<DavResponse>& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].href != b[i].href || a[i].contentLength != b[i].contentLength ||
            a[i].contentType != b[i].contentType || a[i].lastModified != b[i].lastModified ||
            a[i].isFolder != b[i].isFolder) {
            return false;
        }
    }
    return true;
}

// The piece sizes come from the body itself, so that a saved input replays the same pieces.
std::uint64_t Seed(std::string_view body) {
    std::uint64_t h = 1469598103934665603ULL;
    for (const char c : body) {
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    }
    return h;
}

std::uint64_t Next(std::uint64_t& state) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);

    std::vector<DavResponse> whole(1);  // what was there before is replaced
    nbx::xml::ParseError wholeError;
    const bool wholeOk = nbx::remotefs::ParseMultistatus(body, whole, wholeError);

    std::uint64_t state = Seed(body) | 1;
    static constexpr std::size_t kLargest[] = {1, 3, 16, 200, 5000};
    const std::size_t largest = kLargest[Next(state) % std::size(kLargest)];
    nbx::remotefs::MultistatusParser parser;
    for (std::size_t pos = 0; pos < size;) {
        const std::size_t piece = std::min<std::size_t>(1 + Next(state) % largest, size - pos);
        FUZZ_CHECK(parser.Write(body.data() + pos, piece));
        pos += piece;
    }
    std::vector<DavResponse> streamed(2);
    nbx::xml::ParseError streamedError;
    const bool streamedOk = parser.Finish(streamed, streamedError);

    if (wholeOk != streamedOk) {
        std::fprintf(stderr, "whole: %d %s\nstreamed in pieces of up to %zu: %d %s\n",
                     wholeError.code, wholeError.reason.c_str(), largest, streamedError.code,
                     streamedError.reason.c_str());
    }
    FUZZ_CHECK(wholeOk == streamedOk);
    if (wholeOk) {
        FUZZ_CHECK(wholeError.code == 0 && streamedError.code == 0);
        if (!Same(whole, streamed)) {
            for (const auto* list : {&whole, &streamed}) {
                std::fprintf(stderr, "%s, pieces of up to %zu:\n",
                             list == &whole ? "whole" : "streamed", largest);
                for (const DavResponse& r : *list) {
                    std::fprintf(stderr, "  href [%s]%s\n", r.href.value_or("(none)").c_str(),
                                 r.isFolder ? " folder" : "");
                }
            }
        }
        FUZZ_CHECK(Same(whole, streamed));
    } else {
        FUZZ_CHECK(whole.empty() && streamed.empty());
        FUZZ_CHECK(wholeError.code != 0 && !wholeError.reason.empty());
        FUZZ_CHECK(streamedError.code != 0 && !streamedError.reason.empty());
    }
    return 0;
}
