// Parses a saved PROPFIND answer the way a listing does and prints the number of entries, so
// that bench/run can time the parser against xmllint on the same bytes.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "remotefs/multistatus.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: nbx_bench_parse_listing FILE\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << "nbx_bench_parse_listing: cannot read " << argv[1] << '\n';
        return 1;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string body = std::move(bytes).str();

    std::vector<nbx::remotefs::DavResponse> responses;
    nbx::xml::ParseError error;
    if (!nbx::remotefs::ParseMultistatus(body, responses, error)) {
        std::cerr << "nbx_bench_parse_listing: not well-formed (" << error.code
                  << "): " << error.reason << '\n';
        return 1;
    }
    std::printf("%zu\n", responses.size());
    return 0;
}
