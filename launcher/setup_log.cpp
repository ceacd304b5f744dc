#include "launcher/setup_log.h"

#include "launcher/paths.h"

HANDLE g_setup_log = INVALID_HANDLE_VALUE;

void OpenSetupLog() {
  WCHAR path[276];
  FormatBounded(path, 275, u"%s\\setup.log", g_paths.install_root);
  // Append-only and shared for reading: other programs may read it while we
  // run, a second launcher cannot write into it. No security attributes, so
  // the ship-setup child does not inherit it.
  g_setup_log = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The handle goes back to invalid so that nothing can write through a closed
// (or, later, reused) handle, and a second close does nothing.
void CloseSetupLog() {
  if (g_setup_log != INVALID_HANDLE_VALUE) CloseHandle(g_setup_log);
  g_setup_log = INVALID_HANDLE_VALUE;
}

void LogText(const WCHAR* text) {
  if (g_setup_log == INVALID_HANDLE_VALUE) return;
  WCHAR line[1020 + 3];
  size_t length = 0;
  while (length < 1020 && text[length]) {
    line[length] = text[length];
    ++length;
  }
  line[length++] = u'\r';
  line[length++] = u'\n';
  line[length] = u'\0';
  char utf8[3072];
  int32_t bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, nullptr, nullptr);
  if (bytes > 1) {
    DWORD written = 0;
    WriteFile(g_setup_log, utf8, static_cast<DWORD>(bytes - 1), &written, nullptr);
  }
}
