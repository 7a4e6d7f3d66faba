#pragma once

// Invariant checks for the fuzz targets: a broken invariant prints what broke
// and aborts, which libFuzzer reports as a crash with the input that caused it.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__);                    \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

// Keeps a result alive so that the optimiser cannot drop the call that made it.
template <typename T> inline void fuzzKeep(const T& value)
{
    asm volatile("" : : "r"(&value) : "memory");
}
