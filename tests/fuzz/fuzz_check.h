// Invariant checks for the fuzz targets: a broken one prints what broke and
// aborts, which libFuzzer reports as a crash and saves the input for.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                                 \
  do {                                                                             \
    if (!(condition)) {                                                            \
      std::fprintf(stderr, "%s:%d: invariant broken: %s: ", __FILE__, __LINE__,    \
                   #condition);                                                    \
      std::fprintf(stderr, __VA_ARGS__);                                           \
      std::fputc('\n', stderr);                                                    \
      std::abort();                                                                \
    }                                                                              \
  } while (0)
