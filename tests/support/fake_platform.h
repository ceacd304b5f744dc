// The one fake platform of the tests. Installed over the system's table (or
// over an in-memory disk, for the fuzz targets), it counts every call, fails
// the Nth (of one operation or of all, once or from then on), shortens reads
// and writes, answers message boxes and the open-file dialog from a script,
// keeps one ordered record of boxes, dialogs, windows and processes, and
// tracks the handles, find handles and windows still open. The same tests run
// natively and under Wine.
#pragma once

#include <cstdint>
#include <deque>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "launcher/paths.h"
#include "platform/platform.h"

using Op = PlatformOp;

struct FakeEvent {
  enum Kind { kBox, kDialog, kWindowShown, kWindowMoved, kWindowText, kWindowGone, kProcess } kind;
  std::u16string text;            // box text; dialog title; window text; command line
  std::u16string caption;         // box caption; dialog filter (zeros as '|'); program
  uint32_t type = 0;              // box type; window style; creation flags
  int32_t place[4] = {};          // window shown or moved: x, y, width, height
  bool owner = false;             // box has an owner; process inherits handles
  bool buffer_was_empty = false;  // dialog: its file buffer was empty when shown
};

struct FakePlatform {
  // Calls made, per operation and overall.
  int calls[static_cast<int>(Op::kCount)] = {};
  int total_calls = 0;

  // Faults. A failing call returns the operation's failure value without
  // reaching what lies below. Indices are 1-based; 0 means never.
  int fail_nth = 0;         // the Nth call of any operation...
  Op fail_op = Op::kCount;  // ...or the Nth call of this one
  int fail_op_nth = 0;
  bool fail_persistent = false;  // and every later one too
  Op faulted_op = Op::kCount;    // the operation of the last fault fired
  uint32_t fault_error = 31;     // what GetLastError answers after a fault (ERROR_GEN_FAILURE)
  bool last_call_faulted = false;
  // ReadFile / WriteFile calls whose count is cut to at most one byte.
  int short_read_nth = 0, short_write_nth = 0;
  // A disc's unreadable sectors: a read reaching one of these byte offsets
  // fails (with fault_error), each the given number of times (-1: always).
  std::map<int64_t, int> unreadable;

  // Answers. An unscripted box answers IDOK for MB_OK, otherwise IDCANCEL
  // (IDNO for MB_YESNO); an unscripted dialog is cancelled.
  std::deque<int> box_answers;
  std::deque<std::optional<std::u16string>> dialog_answers;  // nullopt cancels

  // Answers that stand in for the system's when set: the free space of every
  // disk, and the DPI of the system and of every window.
  std::optional<uint64_t> free_bytes;
  std::optional<uint32_t> system_dpi, window_dpi;  // 0: the call failing

  std::vector<FakeEvent> events;  // in the order they happened

  std::set<void*> open_handles, open_finds, open_windows;
  int bad_closes = 0;  // releases of something not open

  PlatformOps below;  // where calls go that the fake does not answer itself

  std::vector<FakeEvent> Of(std::initializer_list<FakeEvent::Kind> kinds) const;
  std::vector<FakeEvent> Windows() const {  // shown, text changed, gone
    return Of({FakeEvent::kWindowShown, FakeEvent::kWindowText, FakeEvent::kWindowGone});
  }
  int Calls(Op op) const { return calls[static_cast<int>(op)]; }
};

FakePlatform& Fake();

// Installs a fresh fake over `below` for its lifetime, and keeps every
// process-wide state a test may change (the table, the paths, the setup log's
// handle) as it found it: on leaving it closes a log left open and puts the
// rest back.
struct ScopedFake {
  explicit ScopedFake(const PlatformOps& below = SystemPlatform());
  ~ScopedFake();
  FakePlatform* operator->() { return &Fake(); }

 private:
  PlatformOps saved_platform_;
  LauncherPaths saved_paths_;
  HANDLE saved_log_;
  FakePlatform* saved_fake_;
};

// Everything still open, as text for an assertion message; "" when nothing.
std::string OpenHandleReport();
