// The fuzz targets' assertion: a broken invariant prints where and aborts, which libFuzzer
// reports as a crash with the input that caused it (and a corpus replay as a failed test).
#pragma once

#include <cstdio>
#include <cstdlib>

#define CHECK(condition)                                                                   \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__,     \
                         #condition);                                                      \
            std::abort();                                                                  \
        }                                                                                  \
    } while (false)
