// For tests only (linked into test programs, never into the product): what a
// test needs of its own process that the product's operations have no need for.
#pragma once

#include <cstdint>

// Sets or clears an environment variable of this process (children inherit it).
void SetTestEnvironment(const char* name, const char* value);

// The most memory this process has held at once, in bytes (its peak
// resident set, or peak working set on Windows).
uint64_t PeakMemoryBytes();
