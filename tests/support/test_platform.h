// A wrapper over the system's platform table for tests: counts calls, fails
// the Nth call (of one operation or of all), shortens reads and writes,
// answers message boxes and the open-file dialog from a script, records the
// status window's texts and counts handles still open. Works over either
// implementation, so the same tests run natively and under Wine.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

enum class Op : int {
  CreateFileW, SetFilePointerEx, ReadFile, WriteFile, CloseHandle, GetFileAttributesW,
  SetFileAttributesW, DeleteFileW, MoveFileExW, FindFirstFileW, FindNextFileW, FindClose,
  SHCreateDirectoryExW, GetModuleFileNameW, CreateProcessW, CreatePipe, SetHandleInformation,
  PeekNamedPipe, WaitForSingleObject, GetConsoleProcessList, MultiByteToWideChar, WideCharToMultiByte, MessageBoxW,
  GetOpenFileNameW, CreateWindowExW, SendMessageW, SetWindowTextW, UpdateWindow, DestroyWindow,
  PeekMessageW, DispatchMessageW, GetSystemMetrics, GetStockObject, CommandLineToArgvW,
  kCount
};
const char* OpName(Op op);

struct BoxShown {
  std::u16string text;
  std::u16string caption;
  uint32_t type;
  bool has_owner;
};

struct DialogShown {
  PfOpenFileName ofn;          // as passed (pointers only valid during the call)
  std::u16string filter;       // the whole double-zero-terminated filter, zeros as '|'
  std::u16string title;
  bool buffer_was_empty;       // lpstrFile[0] == 0 when the dialog was shown
};

struct WindowEvent {
  enum Kind { kCreated, kText, kDestroyed } kind;
  PfWindow window;
  std::u16string text;         // title at creation, new text on kText
  uint32_t ex_style, style;
  int32_t x, y, width, height;
};

struct ProcessStarted {
  std::u16string application;
  std::u16string command_line;
  std::u16string current_directory;
  bool inherit_handles;
  uint32_t creation_flags;
  PfStartupInfo startup;
};

struct TestPlatformState {
  // Calls made, per operation and overall, since the wrapper was installed.
  int calls[static_cast<int>(Op::kCount)] = {};
  int total_calls = 0;

  // Faults. A failing call returns the operation's failure value and does not
  // reach the system. Indices are 1-based; 0 means never.
  int fail_total_nth = 0;          // the Nth platform call of any operation
  Op fail_op = Op::kCount;         // the Nth call of one operation...
  int fail_op_nth = 0;
  bool fail_persistent = false;    // ...and every later one too
  int faults_fired = 0;
  Op faulted_op = Op::kCount;      // the operation of the last fault fired
  // ReadFile / WriteFile calls whose count is cut to at most `short_bytes`.
  int short_read_nth = 0;
  int short_write_nth = 0;
  uint32_t short_bytes = 0;

  // Scripted answers. An unscripted box answers IDCANCEL (or IDNO for
  // MB_YESNO); an unscripted dialog is cancelled. Both are counted.
  std::deque<int> box_answers;
  std::deque<std::optional<std::u16string>> dialog_answers;  // nullopt cancels
  int unscripted_boxes = 0;
  int unscripted_dialogs = 0;

  std::vector<BoxShown> boxes;
  std::vector<DialogShown> dialogs;
  std::vector<WindowEvent> windows;
  std::vector<ProcessStarted> processes;

  // Handles, find handles and windows acquired and not yet released.
  std::set<void*> open_handles;
  std::set<void*> open_finds;
  std::set<void*> open_windows;
  int bad_closes = 0;              // closes of something never opened
};

TestPlatformState& TP();

// Installs the wrapper over the system table with a fresh state.
void InstallTestPlatform();
// Puts the system table back.
void RemoveTestPlatform();

struct ScopedTestPlatform {
  ScopedTestPlatform() { InstallTestPlatform(); }
  ~ScopedTestPlatform() { RemoveTestPlatform(); }
  TestPlatformState& operator*() { return TP(); }
  TestPlatformState* operator->() { return &TP(); }
};

// Everything still open, as text for an assertion message; empty when none.
std::string OpenHandleReport();
