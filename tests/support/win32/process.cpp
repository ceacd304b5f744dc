#include <windows.h>
#include <psapi.h>

#include "tests/support/process.h"

// Only children read these, from the system's environment block; the tests'
// values come in the ANSI code page already (std::filesystem::path::string()).
void SetTestEnvironment(const char* name, const char* value) {
  SetEnvironmentVariableA(name, value);
}

uint64_t PeakMemoryBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.PeakWorkingSetSize;
}
