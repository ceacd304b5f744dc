#include "ships/runner.h"

#include "launcher/format.h"
#include "launcher/paths.h"
#include "launcher/setup_log.h"
#include "launcher/status_window.h"
#include "ships/protocol.h"

namespace {

constexpr size_t kStepSize = 256;

struct RunState {
  HWND window;
  WCHAR step[kStepSize];
  WCHAR* reason;
  bool done;
  LineAssembler assembler;
};

// UTF-8 text into a wide buffer that always ends in its terminator. A text
// too long for it keeps its first size - 1 bytes, which always fit: UTF-8
// never gives more UTF-16 units than it has bytes.
void ConvertText(const char* text, size_t length, WCHAR* out, size_t size) {
  int32_t room = static_cast<int32_t>(size - 1);
  int32_t n = length == 0 ? 0
                          : MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int32_t>(length),
                                                out, room);
  if (n <= 0 && length > 0) {
    size_t take = length < size - 1 ? length : size - 1;
    n = MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int32_t>(take), out, room);
  }
  out[n > 0 ? n : 0] = u'\0';
}

void HandleLine(RunState* s) {
  LineAssembler& a = s->assembler;
  a.line[a.length] = '\0';
  LogLine(u"ships: %S", static_cast<const char*>(a.line));
  ParsedLine parsed = ParseLine(a.line, a.length);
  switch (parsed.action) {
    case LineAction::kStep:
      ConvertText(parsed.text, parsed.text_length, s->step, kStepSize);
      break;
    case LineAction::kProgress:
      if (s->window != nullptr) {
        WCHAR text[400];
        FormatBounded(text, 399, u"%s\n%lu of %lu", static_cast<const WCHAR*>(s->step),
                      parsed.done, parsed.total);
        SetWindowTextW(s->window, text);
      }
      break;
    case LineAction::kDone:
      s->done = true;
      break;
    case LineAction::kError:
      ConvertText(parsed.text, parsed.text_length, s->reason, kReasonSize);
      break;
    case LineAction::kNone:
      break;
  }
  ClearLine(&a);
}

// Takes one byte from the pipe; false when a read fails or gives nothing.
bool ReadOneByte(RunState* s, HANDLE pipe) {
  char byte;
  DWORD got = 0;
  if (!ReadFile(pipe, &byte, 1, &got, nullptr) || got == 0) return false;
  if (FeedByte(&s->assembler, byte)) HandleLine(s);
  return true;
}

// Follows the child's output until the pipe ends (every writer gone), keeping
// the status window answering between reads, then waits for the child.
void FollowChild(RunState* s, HANDLE pipe, HANDLE process) {
  for (;;) {
    PumpWaitingMessages();
    DWORD waiting = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr)) {
      // The pipe has ended: what is left in it is read to the end.
      while (ReadOneByte(s, pipe)) {
      }
      break;
    }
    if (waiting == 0) {
      WaitForSingleObject(process, 50);
      continue;
    }
    for (DWORD i = 0; i < waiting && ReadOneByte(s, pipe); ++i) {
    }
  }
  WaitForSingleObject(process, INFINITE);
}

}  // namespace

bool RunShipSetup(bool ships_yes, WCHAR* reason) {
  RunState s{};
  s.reason = reason;
  reason[0] = u'\0';
  CopyWide(s.step, kStepSize - 1, u"Getting the 3D ships...");
  s.window = ships_yes ? nullptr : ShowStatusWindow(s.step);

  WCHAR program[292];
  WCHAR command_line[844];
  FormatBounded(program, 291, u"%s\\bin\\python\\python.exe", g_paths.install_root);
  FormatBounded(command_line, 843, u"\"%s\" -I \"%s\\tools\\install_ships.py\" \"%s\"", program,
                g_paths.install_root, g_paths.install_root);

  SECURITY_ATTRIBUTES sa{};
  sa.nLength = sizeof sa;
  sa.bInheritHandle = TRUE;
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  PROCESS_INFORMATION info{};
  bool started = false;
  if (!CreatePipe(&read_end, &write_end, &sa, 0)) {
    read_end = nullptr;  // nothing to release, whatever the call left there
    CopyWide(reason, kReasonSize - 1, u"couldn't start the ship setup");
  } else {
    // Only the write end passes to the child.
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write_end;
    startup.hStdError = write_end;
    started = CreateProcessW(program, command_line, nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                             nullptr, g_paths.install_root, &startup, &info);
    // Our copy goes at once: while we hold it the pipe never reports its end.
    CloseHandle(write_end);
    if (started) {
      FollowChild(&s, read_end, info.hProcess);
    } else {
      CopyWide(reason, kReasonSize - 1, u"couldn't start bin\\python\\python.exe");
    }
  }

  // Released in reverse order of acquisition.
  if (started) {
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  if (read_end != nullptr) CloseHandle(read_end);
  if (s.window != nullptr) DestroyWindow(s.window);

  if (s.done) return true;
  if (reason[0] == u'\0') {
    CopyWide(reason, kReasonSize - 1, u"the ship setup stopped part way (run it again: it carries on)");
  }
  return false;
}
