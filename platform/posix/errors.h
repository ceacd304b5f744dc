// The POSIX layer's answer to GetLastError: each operation that fails says
// why in the Windows error code the logic expects.
#pragma once

#include <cstdint>

// Records `code` as the thread's last error and returns `result`, so a
// failing path reads `return Failed(ERROR_ACCESS_DENIED, kInvalid);`.
void SetPosixLastError(uint32_t code);
template <class T>
T Failed(uint32_t code, T result) {
  SetPosixLastError(code);
  return result;
}

// The Windows error code for an errno value.
uint32_t WindowsErrorOf(int errno_value);
// The same, for the errno of the call that just failed.
template <class T>
T FailedErrno(T result);
