#include "tests/support/test_platform.h"

#include <cstring>
#include <sstream>

namespace {

TestPlatformState* g_state = nullptr;
PlatformOps g_real;  // the table the wrapper forwards to
bool g_installed = false;

// Counts the call and says whether it is to fail.
bool Fault(Op op) {
  TestPlatformState& s = *g_state;
  int index = static_cast<int>(op);
  int nth_op = ++s.calls[index];
  int nth_total = ++s.total_calls;
  bool fail = false;
  if (s.fail_total_nth > 0) {
    fail = s.fail_persistent ? nth_total >= s.fail_total_nth : nth_total == s.fail_total_nth;
  }
  if (s.fail_op == op && s.fail_op_nth > 0) {
    fail = fail || (s.fail_persistent ? nth_op >= s.fail_op_nth : nth_op == s.fail_op_nth);
  }
  if (fail) {
    ++s.faults_fired;
    s.faulted_op = op;
  }
  return fail;
}

void Opened(std::set<void*>& set, void* h) {
  if (h != nullptr && h != INVALID_HANDLE_VALUE) set.insert(h);
}

void Released(std::set<void*>& set, void* h) {
  if (set.erase(h) == 0) ++g_state->bad_closes;
}

std::u16string Text(const PfChar* s) { return s ? std::u16string(s) : std::u16string(); }

PfHandle W_CreateFileW(const PfChar* name, uint32_t access, uint32_t share,
                       PfSecurityAttributes* sa, uint32_t disposition, uint32_t flags,
                       PfHandle t) {
  if (Fault(Op::CreateFileW)) return INVALID_HANDLE_VALUE;
  PfHandle h = g_real.CreateFileW(name, access, share, sa, disposition, flags, t);
  Opened(g_state->open_handles, h);
  return h;
}
PfBool W_SetFilePointerEx(PfHandle f, int64_t d, int64_t* p, uint32_t m) {
  if (Fault(Op::SetFilePointerEx)) return FALSE;
  return g_real.SetFilePointerEx(f, d, p, m);
}
PfBool W_ReadFile(PfHandle f, void* b, uint32_t n, uint32_t* r, void* o) {
  if (Fault(Op::ReadFile)) {
    if (r) *r = 0;
    return FALSE;
  }
  TestPlatformState& s = *g_state;
  if (s.short_read_nth > 0 && s.calls[static_cast<int>(Op::ReadFile)] == s.short_read_nth &&
      n > s.short_bytes) {
    n = s.short_bytes;
    ++s.faults_fired;
    s.faulted_op = Op::ReadFile;
  }
  return g_real.ReadFile(f, b, n, r, o);
}
PfBool W_WriteFile(PfHandle f, const void* b, uint32_t n, uint32_t* w, void* o) {
  if (Fault(Op::WriteFile)) {
    if (w) *w = 0;
    return FALSE;
  }
  TestPlatformState& s = *g_state;
  if (s.short_write_nth > 0 && s.calls[static_cast<int>(Op::WriteFile)] == s.short_write_nth &&
      n > s.short_bytes) {
    n = s.short_bytes;
    ++s.faults_fired;
    s.faulted_op = Op::WriteFile;
  }
  return g_real.WriteFile(f, b, n, w, o);
}
PfBool W_CloseHandle(PfHandle h) {
  bool fail = Fault(Op::CloseHandle);
  Released(g_state->open_handles, h);
  // A failed close still releases the handle, so a fault run leaks nothing.
  PfBool ok = g_real.CloseHandle(h);
  return fail ? FALSE : ok;
}
uint32_t W_GetFileAttributesW(const PfChar* n) {
  if (Fault(Op::GetFileAttributesW)) return INVALID_FILE_ATTRIBUTES;
  return g_real.GetFileAttributesW(n);
}
PfBool W_SetFileAttributesW(const PfChar* n, uint32_t a) {
  if (Fault(Op::SetFileAttributesW)) return FALSE;
  return g_real.SetFileAttributesW(n, a);
}
PfBool W_DeleteFileW(const PfChar* n) {
  if (Fault(Op::DeleteFileW)) return FALSE;
  return g_real.DeleteFileW(n);
}
PfBool W_MoveFileExW(const PfChar* from, const PfChar* to, uint32_t f) {
  if (Fault(Op::MoveFileExW)) return FALSE;
  return g_real.MoveFileExW(from, to, f);
}
PfHandle W_FindFirstFileW(const PfChar* p, PfFindData* d) {
  if (Fault(Op::FindFirstFileW)) return INVALID_HANDLE_VALUE;
  PfHandle h = g_real.FindFirstFileW(p, d);
  Opened(g_state->open_finds, h);
  return h;
}
PfBool W_FindNextFileW(PfHandle h, PfFindData* d) {
  if (Fault(Op::FindNextFileW)) return FALSE;
  return g_real.FindNextFileW(h, d);
}
PfBool W_FindClose(PfHandle h) {
  bool fail = Fault(Op::FindClose);
  Released(g_state->open_finds, h);
  PfBool ok = g_real.FindClose(h);
  return fail ? FALSE : ok;
}
int32_t W_SHCreateDirectoryExW(PfWindow w, const PfChar* p, PfSecurityAttributes* sa) {
  if (Fault(Op::SHCreateDirectoryExW)) return 5;  // access denied
  return g_real.SHCreateDirectoryExW(w, p, sa);
}
uint32_t W_GetModuleFileNameW(void* m, PfChar* b, uint32_t n) {
  if (Fault(Op::GetModuleFileNameW)) return 0;
  return g_real.GetModuleFileNameW(m, b, n);
}
PfBool W_CreateProcessW(const PfChar* app, PfChar* cmd, PfSecurityAttributes* psa,
                        PfSecurityAttributes* tsa, PfBool inherit, uint32_t flags, void* env,
                        const PfChar* cwd, PfStartupInfo* si, PfProcessInformation* pi) {
  if (Fault(Op::CreateProcessW)) return FALSE;
  ProcessStarted started{Text(app), Text(cmd), Text(cwd), inherit != 0, flags, *si};
  g_state->processes.push_back(started);
  PfBool ok = g_real.CreateProcessW(app, cmd, psa, tsa, inherit, flags, env, cwd, si, pi);
  if (ok) {
    Opened(g_state->open_handles, pi->hProcess);
    Opened(g_state->open_handles, pi->hThread);
  }
  return ok;
}
PfBool W_CreatePipe(PfHandle* r, PfHandle* w, PfSecurityAttributes* sa, uint32_t n) {
  if (Fault(Op::CreatePipe)) return FALSE;
  PfBool ok = g_real.CreatePipe(r, w, sa, n);
  if (ok) {
    Opened(g_state->open_handles, *r);
    Opened(g_state->open_handles, *w);
  }
  return ok;
}
PfBool W_SetHandleInformation(PfHandle h, uint32_t m, uint32_t f) {
  if (Fault(Op::SetHandleInformation)) return FALSE;
  return g_real.SetHandleInformation(h, m, f);
}
PfBool W_PeekNamedPipe(PfHandle h, void* b, uint32_t n, uint32_t* r, uint32_t* a, uint32_t* l) {
  if (Fault(Op::PeekNamedPipe)) return FALSE;
  return g_real.PeekNamedPipe(h, b, n, r, a, l);
}
uint32_t W_WaitForSingleObject(PfHandle h, uint32_t ms) {
  if (Fault(Op::WaitForSingleObject)) return WAIT_FAILED;
  return g_real.WaitForSingleObject(h, ms);
}
uint32_t W_GetConsoleProcessList(uint32_t* list, uint32_t n) {
  if (Fault(Op::GetConsoleProcessList)) return 0;
  return g_real.GetConsoleProcessList(list, n);
}
int32_t W_MultiByteToWideChar(uint32_t cp, uint32_t f, const char* t, int32_t n, PfChar* o,
                              int32_t on) {
  if (Fault(Op::MultiByteToWideChar)) return 0;
  return g_real.MultiByteToWideChar(cp, f, t, n, o, on);
}
int32_t W_WideCharToMultiByte(uint32_t cp, uint32_t f, const PfChar* t, int32_t n, char* o,
                              int32_t on, const char* d, PfBool* u) {
  if (Fault(Op::WideCharToMultiByte)) return 0;
  return g_real.WideCharToMultiByte(cp, f, t, n, o, on, d, u);
}

// Boxes and the dialog never reach the system: a test must not wait for a
// person. Their answers come from the script.
int32_t W_MessageBoxW(PfWindow owner, const PfChar* text, const PfChar* caption, uint32_t type) {
  if (Fault(Op::MessageBoxW)) return 0;
  TestPlatformState& s = *g_state;
  s.boxes.push_back(BoxShown{Text(text), Text(caption), type, owner != nullptr});
  uint32_t buttons = type & 0xF;
  if (!s.box_answers.empty()) {
    int answer = s.box_answers.front();
    s.box_answers.pop_front();
    return answer;
  }
  if (buttons == MB_OK) return IDOK;
  ++s.unscripted_boxes;
  return buttons == MB_YESNO ? IDNO : IDCANCEL;
}
PfBool W_GetOpenFileNameW(PfOpenFileName* ofn) {
  if (Fault(Op::GetOpenFileNameW)) return FALSE;
  TestPlatformState& s = *g_state;
  DialogShown shown{*ofn, {}, Text(ofn->lpstrTitle),
                    ofn->lpstrFile != nullptr && ofn->lpstrFile[0] == 0};
  if (const PfChar* f = ofn->lpstrFilter) {
    // The filter ends at the first empty string.
    while (*f) {
      std::u16string part(f);
      shown.filter += part + u"|";
      f += part.size() + 1;
    }
  }
  s.dialogs.push_back(shown);
  if (s.dialog_answers.empty()) {
    ++s.unscripted_dialogs;
    return FALSE;
  }
  std::optional<std::u16string> answer = s.dialog_answers.front();
  s.dialog_answers.pop_front();
  if (!answer || answer->size() + 1 > ofn->nMaxFile) return FALSE;
  std::memcpy(ofn->lpstrFile, answer->c_str(), (answer->size() + 1) * sizeof(PfChar));
  return TRUE;
}

// Status windows are recorded, not created: in-process tests run without a
// display. The process-level and GUI tests see the real ones.
PfWindow W_CreateWindowExW(uint32_t ex, const PfChar* cls, const PfChar* name, uint32_t style,
                           int32_t x, int32_t y, int32_t w, int32_t h, PfWindow, void*, void*,
                           void*) {
  if (Fault(Op::CreateWindowExW)) return nullptr;
  (void)cls;
  PfWindow window = new char(0);
  g_state->open_windows.insert(window);
  g_state->windows.push_back(
      WindowEvent{WindowEvent::kCreated, window, Text(name), ex, style, x, y, w, h});
  return window;
}
intptr_t W_SendMessageW(PfWindow, uint32_t, uintptr_t, intptr_t) {
  Fault(Op::SendMessageW);
  return 0;
}
PfBool W_SetWindowTextW(PfWindow window, const PfChar* text) {
  if (Fault(Op::SetWindowTextW)) return FALSE;
  g_state->windows.push_back(WindowEvent{WindowEvent::kText, window, Text(text), 0, 0, 0, 0, 0, 0});
  return g_state->open_windows.count(window) ? TRUE : FALSE;
}
PfBool W_UpdateWindow(PfWindow window) {
  if (Fault(Op::UpdateWindow)) return FALSE;
  return g_state->open_windows.count(window) ? TRUE : FALSE;
}
PfBool W_DestroyWindow(PfWindow window) {
  bool fail = Fault(Op::DestroyWindow);
  g_state->windows.push_back(WindowEvent{WindowEvent::kDestroyed, window, {}, 0, 0, 0, 0, 0, 0});
  if (g_state->open_windows.erase(window) == 0) {
    ++g_state->bad_closes;
    return FALSE;
  }
  delete static_cast<char*>(window);
  return fail ? FALSE : TRUE;
}
PfBool W_PeekMessageW(PfMsg* m, PfWindow w, uint32_t a, uint32_t b, uint32_t r) {
  if (Fault(Op::PeekMessageW)) return FALSE;
  return g_real.PeekMessageW(m, w, a, b, r);
}
intptr_t W_DispatchMessageW(const PfMsg* m) {
  Fault(Op::DispatchMessageW);
  return g_real.DispatchMessageW(m);
}
int32_t W_GetSystemMetrics(int32_t i) {
  if (Fault(Op::GetSystemMetrics)) return 0;
  return i == SM_CXSCREEN ? 1280 : i == SM_CYSCREEN ? 800 : g_real.GetSystemMetrics(i);
}
void* W_GetStockObject(int32_t o) {
  if (Fault(Op::GetStockObject)) return nullptr;
  return g_real.GetStockObject(o);
}
PfChar** W_CommandLineToArgvW(const PfChar* c, int32_t* n) {
  if (Fault(Op::CommandLineToArgvW)) return nullptr;
  return g_real.CommandLineToArgvW(c, n);
}

const PlatformOps kWrapper = {
    W_CreateFileW,       W_SetFilePointerEx,     W_ReadFile,           W_WriteFile,
    W_CloseHandle,       W_GetFileAttributesW,   W_SetFileAttributesW, W_DeleteFileW,
    W_MoveFileExW,
    W_FindFirstFileW,    W_FindNextFileW,        W_FindClose,          W_SHCreateDirectoryExW,
    W_GetModuleFileNameW, W_CreateProcessW,      W_CreatePipe,         W_SetHandleInformation,
    W_PeekNamedPipe,     W_WaitForSingleObject,  W_GetConsoleProcessList,
    W_MultiByteToWideChar, W_WideCharToMultiByte,
    W_MessageBoxW,       W_GetOpenFileNameW,     W_CreateWindowExW,    W_SendMessageW,
    W_SetWindowTextW,    W_UpdateWindow,         W_DestroyWindow,      W_PeekMessageW,
    W_DispatchMessageW,  W_GetSystemMetrics,     W_GetStockObject,     W_CommandLineToArgvW,
};

}  // namespace

const char* OpName(Op op) {
  static const char* const kNames[] = {
      "CreateFileW", "SetFilePointerEx", "ReadFile", "WriteFile", "CloseHandle",
      "GetFileAttributesW", "SetFileAttributesW", "DeleteFileW", "MoveFileExW", "FindFirstFileW",
      "FindNextFileW", "FindClose", "SHCreateDirectoryExW", "GetModuleFileNameW",
      "CreateProcessW", "CreatePipe", "SetHandleInformation", "PeekNamedPipe",
      "WaitForSingleObject", "GetConsoleProcessList", "MultiByteToWideChar", "WideCharToMultiByte", "MessageBoxW",
      "GetOpenFileNameW", "CreateWindowExW", "SendMessageW", "SetWindowTextW", "UpdateWindow",
      "DestroyWindow", "PeekMessageW", "DispatchMessageW", "GetSystemMetrics", "GetStockObject",
      "CommandLineToArgvW"};
  static_assert(sizeof kNames / sizeof kNames[0] == static_cast<size_t>(Op::kCount));
  return kNames[static_cast<int>(op)];
}

TestPlatformState& TP() { return *g_state; }

void InstallTestPlatform() {
  if (!g_installed) g_real = SystemPlatform();
  delete g_state;
  g_state = new TestPlatformState();
  g_platform = kWrapper;
  g_installed = true;
}

void RemoveTestPlatform() {
  g_platform = SystemPlatform();
  g_installed = false;
  for (void* w : g_state->open_windows) delete static_cast<char*>(w);
  g_state->open_windows.clear();
}

std::string OpenHandleReport() {
  std::ostringstream out;
  TestPlatformState& s = *g_state;
  if (!s.open_handles.empty()) out << s.open_handles.size() << " handle(s) open; ";
  if (!s.open_finds.empty()) out << s.open_finds.size() << " find handle(s) open; ";
  if (!s.open_windows.empty()) out << s.open_windows.size() << " window(s) not destroyed; ";
  if (s.bad_closes) out << s.bad_closes << " release(s) of something not open; ";
  return out.str();
}
