#pragma once

#include <cstdio>
#include <cstdlib>

// An invariant of a fuzz target: when it does not hold, the input is a
// finding. abort() makes libFuzzer keep the input as a crash file.
#define FUZZ_CHECK(cond)                                                                      \
    do {                                                                                      \
        if (!(cond)) {                                                                        \
            std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (0)
