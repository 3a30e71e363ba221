#pragma once

#include <cstdio>
#include <cstdlib>

// A broken invariant in a fuzz target: report it and abort, which both libFuzzer and the seed runner catch.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);                         \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (0)
