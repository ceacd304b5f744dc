#include "tests/support/process.h"

#include <stdlib.h>
#include <sys/resource.h>

void SetTestEnvironment(const char* name, const char* value) {
  value ? setenv(name, value, 1) : unsetenv(name);
}

uint64_t PeakMemoryBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<uint64_t>(usage.ru_maxrss) * 1024;  // reported in KiB
}
