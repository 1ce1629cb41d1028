#pragma once

#include <cstdio>
#include <cstdlib>

// A property that failed: libFuzzer keeps the input that made the harness abort. Unlike assert,
// kept in every build type.
#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)
