#pragma once

#include <cstdio>
#include <cstdlib>

// A property of a fuzz target that must hold for every input. A failure prints what failed
// and aborts, so libFuzzer saves the input and the replay test fails.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)
