// The setup log: "setup.log" in the install root, UTF-8, CR LF, appended and
// never truncated. One process-wide handle; every call is a no-op while it is
// the invalid handle.
#pragma once

#include "launcher/format.h"
#include "platform/platform.h"

extern HANDLE g_setup_log;

// False when the log could not be opened (GetLastError says why).
bool OpenSetupLog();
void CloseSetupLog();

// Writes one already formatted line (cut to 1020 characters) and its CR LF.
// The log holds whole lines whatever the writes return: a write that takes
// only part of a line is followed by another for the rest, and the rest of a
// line a failed write left is sent before the next line, which is dropped
// while that cannot be done.
void LogText(const WCHAR* line);

template <class... Args>
void LogLine(WideFormat<std::type_identity_t<Args>...> format, Args... args) {
  if (g_setup_log == INVALID_HANDLE_VALUE) return;
  WCHAR line[1021];
  FormatBounded(line, 1020, format, args...);
  LogText(line);
}
