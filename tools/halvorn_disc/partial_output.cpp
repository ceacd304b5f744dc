#include "tools/halvorn_disc/partial_output.h"

#include <atomic>
#include <cstring>

namespace {

// One output is written at a time; the handler may remove it while it is
// kStarted. The rename claims it first, so that the handler never removes
// a file the rename has given the output's name, and a handler that comes
// during the rename waits for it.
enum State : int { kNone, kStarted, kRenaming };
std::atomic<int> g_state{kNone};
const WCHAR* g_path = nullptr;

PfBool RemoveOnEvent(uint32_t) {
  int started = kStarted;
  if (g_state.compare_exchange_strong(started, kNone)) {
    DeleteFileW(g_path);
  } else {
    for (uint32_t spins = 0; g_state.load() == kRenaming && spins < 100000000u; ++spins) {
    }
  }
  return FALSE;  // then the process ends, as it would without a handler
}

// Takes the file from the handler: false when the handler has removed it.
bool Claim(PartialOutput* partial) {
  int started = kStarted;
  bool claimed = g_state.compare_exchange_strong(started, kRenaming);
  if (partial->file != INVALID_HANDLE_VALUE) CloseHandle(partial->file);
  partial->file = INVALID_HANDLE_VALUE;
  return claimed;
}

void Release() {
  g_state.store(kNone);
  SetConsoleCtrlHandler(RemoveOnEvent, FALSE);
}

}  // namespace

bool BeginPartialOutput(const WCHAR* out_path, PartialOutput* partial, FILE* msg) {
  partial->file = INVALID_HANDLE_VALUE;
  size_t length = WideUnits(out_path);
  char name[kToolTextSize];
  PathUtf8(out_path, name, sizeof name);
  if (length + 11 > kToolPathUnits) {
    std::fprintf(msg, "%s: the name is too long.\n", name);
    return false;
  }
  SetConsoleCtrlHandler(RemoveOnEvent, TRUE);
  for (int n = 1; n <= 9 && partial->file == INVALID_HANDLE_VALUE; ++n) {
    std::memcpy(partial->path, out_path, length * sizeof(WCHAR));
    std::memcpy(partial->path + length, u".partial", 9 * sizeof(WCHAR));
    if (n > 1) {
      partial->path[length + 8] = static_cast<WCHAR>(u'0' + n);
      partial->path[length + 9] = u'\0';
    }
    partial->file = CreateFileW(partial->path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
                                CREATE_NEW, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (partial->file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS &&
        GetLastError() != ERROR_ALREADY_EXISTS) {
      break;
    }
  }
  if (partial->file == INVALID_HANDLE_VALUE) {
    std::fprintf(msg, "can't create a file beside %s to write it in%s.\n", name,
                 GetLastError() == ERROR_FILE_EXISTS ? " (its .partial names are all taken)" : "");
    SetConsoleCtrlHandler(RemoveOnEvent, FALSE);
    return false;
  }
  g_path = partial->path;
  g_state.store(kStarted);
  return true;
}

bool FinishPartialOutput(PartialOutput* partial, const WCHAR* out_path) {
  bool closed = CloseHandle(partial->file);
  partial->file = INVALID_HANDLE_VALUE;
  if (!Claim(partial)) {
    Release();
    return false;
  }
  bool renamed = closed && MoveFileExW(partial->path, out_path, 0);
  if (!renamed) DeleteFileW(partial->path);
  Release();
  return renamed;
}

void AbandonPartialOutput(PartialOutput* partial) {
  if (Claim(partial)) DeleteFileW(partial->path);
  Release();
}
