// Invariant checks for the fuzz targets: a broken one prints what broke and
// aborts, which libFuzzer reports as a crash and saves the input for. The
// tests run the same per-input checks on the hostile images and the past
// findings, without libFuzzer (tests/disc/crafted_test.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
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

// The targets, one input each (fuzz_targets.cpp; fuzz_entry.cpp makes each a
// libFuzzer target).
void FuzzDiscWalk(const uint8_t* data, size_t size);
void FuzzDiscInstall(const uint8_t* data, size_t size);
void FuzzShipProtocol(const uint8_t* data, size_t size);
