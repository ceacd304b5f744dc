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

// Reads one byte at a time: up to `limit` bytes, or until a read fails or
// gives nothing when `limit` is 0 (the pipe has ended).
void ReadBytes(RunState* s, HANDLE pipe, DWORD limit) {
  for (DWORD i = 0; limit == 0 || i < limit; ++i) {
    char byte;
    DWORD got = 0;
    if (!ReadFile(pipe, &byte, 1, &got, nullptr) || got == 0) return;
    if (FeedByte(&s->assembler, byte)) HandleLine(s);
  }
}

}  // namespace

bool RunShipSetup(bool ships_yes, WCHAR* reason) {
  RunState s{};
  s.reason = reason;
  CopyWide(s.step, kStepSize - 1, u"Getting the 3D ships...");
  s.window = ships_yes ? nullptr : ShowStatusWindow(s.step);
  reason[0] = u'\0';

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
  if (!CreatePipe(&read_end, &write_end, &sa, 0)) {
    CopyWide(reason, kReasonSize - 1, u"couldn't start the ship setup");
    if (s.window != nullptr) DestroyWindow(s.window);
    return false;
  }
  // Only the write end passes to the child.
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program, command_line, nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                      g_paths.install_root, &startup, &info)) {
    CloseHandle(read_end);
    CloseHandle(write_end);
    CopyWide(reason, kReasonSize - 1, u"couldn't start bin\\python\\python.exe");
    if (s.window != nullptr) DestroyWindow(s.window);
    return false;
  }
  // Without closing our copy the pipe would never report its end.
  CloseHandle(write_end);

  for (;;) {
    PumpWaitingMessages();
    DWORD waiting = 0;
    if (!PeekNamedPipe(read_end, nullptr, 0, nullptr, &waiting, nullptr)) {
      ReadBytes(&s, read_end, 0);
      break;
    }
    if (waiting == 0) {
      WaitForSingleObject(info.hProcess, 50);
      continue;
    }
    ReadBytes(&s, read_end, waiting);
  }

  WaitForSingleObject(info.hProcess, INFINITE);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  CloseHandle(read_end);
  if (s.window != nullptr) DestroyWindow(s.window);

  if (s.done) return true;
  if (reason[0] == u'\0') {
    CopyWide(reason, kReasonSize - 1, u"the ship setup stopped part way (run it again: it carries on)");
  }
  return false;
}
