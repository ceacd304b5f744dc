#include "launcher/setup_log.h"

#include <cstring>

#include "launcher/paths.h"

HANDLE g_setup_log = INVALID_HANDLE_VALUE;

namespace {

constexpr uint32_t kLineBytes = 3072;

// What a failed write left of the last line.
char g_unsent[kLineBytes];
uint32_t g_unsent_size = 0;

// Writes until everything is out or a write fails or takes nothing; gives
// the bytes that went out.
uint32_t WriteAll(const char* bytes, uint32_t size) {
  uint32_t sent = 0;
  while (sent < size) {
    DWORD written = 0;
    bool ok = WriteFile(g_setup_log, bytes + sent, size - sent, &written, nullptr);
    sent += written <= size - sent ? written : size - sent;
    if (!ok || written == 0) break;
  }
  return sent;
}

// Sends what is left of the last line; true when nothing is left.
bool SendUnsent() {
  uint32_t sent = WriteAll(g_unsent, g_unsent_size);
  std::memmove(g_unsent, g_unsent + sent, g_unsent_size - sent);
  g_unsent_size -= sent;
  return g_unsent_size == 0;
}

}  // namespace

bool OpenSetupLog() {
  WCHAR path[276];
  FormatBounded(path, 275, u"%s\\setup.log", g_paths.install_root);
  // Append-only and shared for reading: other programs may read it while we
  // run, a second launcher cannot write into it. No security attributes, so
  // the ship-setup child does not inherit it.
  g_setup_log = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  g_unsent_size = 0;
  return g_setup_log != INVALID_HANDLE_VALUE;
}

// The handle goes back to invalid so that nothing can write through a closed
// (or, later, reused) handle, and a second close does nothing.
void CloseSetupLog() {
  if (g_setup_log != INVALID_HANDLE_VALUE) {
    SendUnsent();
    CloseHandle(g_setup_log);
  }
  g_setup_log = INVALID_HANDLE_VALUE;
  g_unsent_size = 0;
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
  char utf8[kLineBytes];
  int32_t bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof utf8, nullptr, nullptr);
  if (bytes <= 1 || !SendUnsent()) return;
  uint32_t size = static_cast<uint32_t>(bytes - 1);
  uint32_t sent = WriteAll(utf8, size);
  std::memcpy(g_unsent, utf8 + sent, size - sent);
  g_unsent_size = size - sent;
}
