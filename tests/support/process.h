// For tests only (linked into test programs, never into the product): run a
// program to its end and get its exit code, which the product's operations
// have no need for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/ops.h"

// Runs `application` with the full `command_line` (program name first, quoted
// as Windows quotes it) in `current_directory`, its output going where the
// test's goes, and gives its exit code once it ends, or nothing when it could
// not be started (a program that hangs is ended by the test's own time limit).
std::optional<uint32_t> RunProgramToEnd(const std::u16string& application,
                                        std::u16string command_line,
                                        const std::u16string& current_directory);

// Sets or clears an environment variable of this process (children inherit it).
void SetTestEnvironment(const char* name, const char* value);

// The most memory this process has held at once, in bytes (its peak
// resident set, or peak working set on Windows).
uint64_t PeakMemoryBytes();

// What the platform's operations lack, one per system: the exit code of a
// process, once it has ended.
uint32_t ExitCodeAtEnd(PfHandle process);
