#include "tests/support/fake_platform.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <sstream>

#include "launcher/setup_log.h"

namespace {

FakePlatform* g_fake = nullptr;

// Counts the call and says whether it is to fail.
bool Fault(Op op) {
  FakePlatform& f = *g_fake;
  int nth_op = ++f.calls[static_cast<int>(op)];
  int nth = ++f.total_calls;
  auto hits = [&](int at, int n) { return at > 0 && (f.fail_persistent ? n >= at : n == at); };
  bool fail = hits(f.fail_nth, nth) || (f.fail_op == op && hits(f.fail_op_nth, nth_op));
  if (fail) f.faulted_op = op;
  f.last_call_faulted = fail;
  return fail;
}

// The count of the Nth ReadFile or WriteFile, cut to one byte when asked.
uint32_t Shortened(Op op, uint32_t n) {
  int short_nth = op == Op::ReadFile ? g_fake->short_read_nth : g_fake->short_write_nth;
  if (short_nth == 0 || g_fake->calls[static_cast<int>(op)] != short_nth || n <= 1) return n;
  g_fake->faulted_op = op;
  return 1;
}

void Opened(std::set<void*>& set, void* h) {
  if (h != nullptr && h != INVALID_HANDLE_VALUE) set.insert(h);
}

// A file, find or mutex handle a call gives is open until released.
template <class R>
R Tracked(Op, R r) {
  return r;
}
PfHandle Tracked(Op op, PfHandle h) {
  if (op == Op::CreateFileW || op == Op::CreateMutexW) Opened(g_fake->open_handles, h);
  if (op == Op::FindFirstFileW) Opened(g_fake->open_finds, h);
  return h;
}

// Whether `h` was open; releasing something not open is counted.
bool Released(std::set<void*>& set, void* h) {
  if (set.erase(h) != 0) return true;
  ++g_fake->bad_closes;
  return false;
}

std::u16string Text(const PfChar* s) { return s ? std::u16string(s) : std::u16string(); }

// The operations the fake answers itself, reached only when the call is not
// to fail (releases excepted: a failed one still releases, so a fault run
// leaks nothing).
PfBool OwnReadFile(PfHandle file, void* buffer, uint32_t n, uint32_t* read, void* o) {
  int64_t at = 0;
  if (!g_fake->unreadable.empty() && g_fake->below.SetFilePointerEx(file, 0, &at, FILE_CURRENT)) {
    for (auto& [offset, times] : g_fake->unreadable) {
      if (offset < at || offset >= at + n || times == 0) continue;
      if (times > 0) --times;
      g_fake->last_call_faulted = true;
      g_fake->faulted_op = Op::ReadFile;
      if (read) *read = 0;
      return FALSE;
    }
  }
  return g_fake->below.ReadFile(file, buffer, Shortened(Op::ReadFile, n), read, o);
}
PfBool OwnWriteFile(PfHandle file, const void* buffer, uint32_t n, uint32_t* written, void* o) {
  return g_fake->below.WriteFile(file, buffer, Shortened(Op::WriteFile, n), written, o);
}
PfBool OwnCloseHandle(PfHandle h) {
  Released(g_fake->open_handles, h);
  return g_fake->below.CloseHandle(h);
}
PfBool OwnFindClose(PfHandle h) {
  Released(g_fake->open_finds, h);
  return g_fake->below.FindClose(h);
}
PfBool OwnCreateProcessW(const PfChar* app, PfChar* cmd, PfSecurityAttributes* psa,
                         PfSecurityAttributes* tsa, PfBool inherit, uint32_t flags, void* env,
                         const PfChar* cwd, PfStartupInfo* si, PfProcessInformation* pi) {
  g_fake->events.push_back({FakeEvent::kProcess, Text(cmd), Text(app), flags, inherit != 0});
  PfBool ok = g_fake->below.CreateProcessW(app, cmd, psa, tsa, inherit, flags, env, cwd, si, pi);
  if (ok) {
    Opened(g_fake->open_handles, pi->hProcess);
    Opened(g_fake->open_handles, pi->hThread);
  }
  return ok;
}
// After a fault, the fault's error; else the system's.
uint32_t OwnGetLastError() {
  return g_fake->last_call_faulted ? g_fake->fault_error : g_fake->below.GetLastError();
}
// The launcher asks only for the space free to it.
PfBool OwnGetDiskFreeSpaceExW(const PfChar* folder, uint64_t* free_to_caller, uint64_t* total,
                              uint64_t* total_free) {
  if (!g_fake->free_bytes)
    return g_fake->below.GetDiskFreeSpaceExW(folder, free_to_caller, total, total_free);
  *free_to_caller = *g_fake->free_bytes;
  return TRUE;
}
uint32_t OwnGetDpiForSystem() {
  return g_fake->system_dpi ? *g_fake->system_dpi : g_fake->below.GetDpiForSystem();
}
uint32_t OwnGetDpiForWindow(PfWindow) { return g_fake->window_dpi.value_or(96); }
PfBool OwnCreatePipe(PfHandle* r, PfHandle* w, PfSecurityAttributes* sa, uint32_t n) {
  PfBool ok = g_fake->below.CreatePipe(r, w, sa, n);
  if (ok) {
    Opened(g_fake->open_handles, *r);
    Opened(g_fake->open_handles, *w);
  }
  return ok;
}

// Boxes and the dialog never reach the system: a test must not wait for a
// person. Windows are recorded, not made: in-process tests have no display.
int32_t OwnMessageBoxW(PfWindow owner, const PfChar* text, const PfChar* caption, uint32_t type) {
  FakePlatform& f = *g_fake;
  f.events.push_back({FakeEvent::kBox, Text(text), Text(caption), type, owner != nullptr});
  if (!f.box_answers.empty()) {
    int answer = f.box_answers.front();
    f.box_answers.pop_front();
    return answer;
  }
  uint32_t buttons = type & 0xF;
  if (buttons == MB_OK) return IDOK;
  return buttons == MB_YESNO ? IDNO : IDCANCEL;
}
PfBool OwnGetOpenFileNameW(PfOpenFileName* ofn) {
  FakePlatform& f = *g_fake;
  FakeEvent shown{.kind = FakeEvent::kDialog,
                  .text = Text(ofn->lpstrTitle),
                  .buffer_was_empty = ofn->lpstrFile != nullptr && ofn->lpstrFile[0] == 0};
  for (const PfChar* p = ofn->lpstrFilter; p && *p; p += std::u16string(p).size() + 1) {
    shown.caption += std::u16string(p) + u"|";  // the list ends at its first empty string
  }
  f.events.push_back(shown);
  if (f.dialog_answers.empty()) return FALSE;
  std::optional<std::u16string> answer = f.dialog_answers.front();
  f.dialog_answers.pop_front();
  if (!answer || answer->size() + 1 > ofn->nMaxFile) return FALSE;
  std::memcpy(ofn->lpstrFile, answer->c_str(), (answer->size() + 1) * sizeof(PfChar));
  return TRUE;
}
PfWindow OwnCreateWindowExW(uint32_t, const PfChar*, const PfChar* name, uint32_t style,
                            int32_t x, int32_t y, int32_t width, int32_t height, PfWindow, void*,
                            void*, void*) {
  static uintptr_t made = 0;  // a window is a number of its own, never dereferenced
  PfWindow window = reinterpret_cast<PfWindow>(++made);
  g_fake->open_windows.insert(window);
  g_fake->events.push_back({.kind = FakeEvent::kWindowShown, .text = Text(name), .type = style,
                            .place = {x, y, width, height}});
  return window;
}
PfBool OwnSetWindowPos(PfWindow, PfWindow, int32_t x, int32_t y, int32_t width, int32_t height,
                       uint32_t flags) {
  g_fake->events.push_back(
      {.kind = FakeEvent::kWindowMoved, .type = flags, .place = {x, y, width, height}});
  return TRUE;
}
intptr_t OwnSendMessageW(PfWindow, uint32_t, uintptr_t, intptr_t) { return 0; }
PfBool OwnSetWindowTextW(PfWindow, const PfChar* text) {
  g_fake->events.push_back({FakeEvent::kWindowText, Text(text)});
  return TRUE;
}
PfBool OwnUpdateWindow(PfWindow) { return TRUE; }
PfBool OwnDestroyWindow(PfWindow window) {
  g_fake->events.push_back({FakeEvent::kWindowGone});
  return Released(g_fake->open_windows, window);
}

// Every other operation goes below: an overload above, not being a template,
// is chosen before this one.
#define HV_FAKE_BELOW(result, name, parameters, arguments, failure) \
  template <int = 0>                                                \
  result Own##name parameters {                                     \
    return g_fake->below.name arguments;                            \
  }
HV_PLATFORM_OPERATIONS(HV_FAKE_BELOW)
#undef HV_FAKE_BELOW

// Every operation: counted, failed when asked, else answered. The question
// why a call failed is neither failed nor counted: it reports the fault
// before it. A release that fails still releases, so a fault run leaks
// nothing.
constexpr Op kReleases[] = {Op::CloseHandle, Op::FindClose, Op::DestroyWindow};
const PlatformOps kFake = {
#define HV_FAKE_ENTRY(result, name, parameters, arguments, failure)              \
  .name = [] parameters -> result {                                              \
    bool fail = Op::name != Op::GetLastError && Fault(Op::name);                 \
    if (fail && std::ranges::count(kReleases, Op::name) == 0) return failure;    \
    result r = Tracked(Op::name, Own##name arguments);                           \
    return fail ? failure : r;                                                   \
  },
    HV_PLATFORM_OPERATIONS(HV_FAKE_ENTRY)
#undef HV_FAKE_ENTRY
};

}  // namespace

std::vector<FakeEvent> FakePlatform::Of(std::initializer_list<FakeEvent::Kind> kinds) const {
  std::vector<FakeEvent> found;
  std::ranges::copy_if(events, std::back_inserter(found),
                       [&](const FakeEvent& e) { return std::ranges::count(kinds, e.kind) != 0; });
  return found;
}

FakePlatform& Fake() { return *g_fake; }

ScopedFake::ScopedFake(const PlatformOps& below)
    : saved_platform_(g_platform), saved_paths_(g_paths), saved_log_(g_setup_log),
      saved_fake_(g_fake) {
  g_fake = new FakePlatform();
  g_fake->below = below;
  g_platform = kFake;
}

ScopedFake::~ScopedFake() {
  if (g_fake->open_handles.count(g_setup_log) != 0) CloseHandle(g_setup_log);
  delete g_fake;
  g_fake = saved_fake_;
  g_platform = saved_platform_;
  g_paths = saved_paths_;
  g_setup_log = saved_log_;
}

std::string OpenHandleReport() {
  std::ostringstream out;
  FakePlatform& f = *g_fake;
  if (!f.open_handles.empty()) out << f.open_handles.size() << " handle(s) open; ";
  if (!f.open_finds.empty()) out << f.open_finds.size() << " find handle(s) open; ";
  if (!f.open_windows.empty()) out << f.open_windows.size() << " window(s) not destroyed; ";
  if (f.bad_closes) out << f.bad_closes << " release(s) of something not open; ";
  return out.str();
}
