// Test helper: runs a program with pipes on its standard handles, feeds it its
// input, collects its output and waits for it with a bound. It calls Windows
// directly, not through g_platform, so a test's fault injection never reaches it.
#include <windows.h>
#include <psapi.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process.h"

namespace {

constexpr DWORD kTimedOutCode = 0xDEAD;

// Moves what the pipe holds now into `output`, without blocking. False once
// every writer has closed its end and nothing is left.
bool DrainAvailable(HANDLE pipe, std::string* output) {
  char buffer[4096];
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) return false;
    if (available == 0) return true;
    DWORD got = 0;
    DWORD want = available < sizeof buffer ? available : sizeof buffer;
    if (!ReadFile(pipe, buffer, want, &got, nullptr) || got == 0) return false;
    output->append(buffer, got);
  }
}

std::wstring Widen(const char* text) {
  int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring wide(static_cast<size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), size);
  wide.resize(static_cast<size_t>(size - 1));
  return wide;
}

}  // namespace

ProgramResult RunProgramToEnd(const PfChar* application, const PfChar* command_line,
                              const PfChar* current_directory, const std::string& input,
                              uint32_t timeout_ms) {
  ProgramResult result{false, 0, std::string()};

  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE in_read = nullptr, in_write = nullptr, out_read = nullptr, out_write = nullptr;
  if (!CreatePipe(&in_read, &in_write, &inherit, 0)) return result;
  if (!CreatePipe(&out_read, &out_write, &inherit, 0)) {
    CloseHandle(in_read);
    CloseHandle(in_write);
    return result;
  }
  // Our ends stay ours: a child holding them would keep the pipes open forever.
  SetHandleInformation(in_write, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);

  const std::wstring line_text(reinterpret_cast<const wchar_t*>(command_line));
  std::vector<wchar_t> line(line_text.begin(), line_text.end());
  line.push_back(L'\0');

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in_read;
  startup.hStdOutput = out_write;
  startup.hStdError = out_write;
  PROCESS_INFORMATION info{};
  BOOL started = CreateProcessW(reinterpret_cast<const wchar_t*>(application), line.data(),
                                nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                reinterpret_cast<const wchar_t*>(current_directory), &startup,
                                &info);
  // The child has its copies now; without closing ours the output never ends.
  CloseHandle(in_read);
  CloseHandle(out_write);
  if (!started) {
    CloseHandle(in_write);
    CloseHandle(out_read);
    return result;
  }
  CloseHandle(info.hThread);
  result.started = true;

  // The input goes in from a thread of its own, so a child that writes much
  // before it reads cannot stall both sides. The write fails once the child is
  // gone, so the thread always ends.
  std::thread feeder([in_write, &input] {
    size_t done = 0;
    while (done < input.size()) {
      DWORD wrote = 0;
      size_t rest = input.size() - done;
      DWORD chunk = rest > 65536 ? 65536 : static_cast<DWORD>(rest);
      if (!WriteFile(in_write, input.data() + done, chunk, &wrote, nullptr) || wrote == 0) break;
      done += wrote;
    }
    CloseHandle(in_write);
  });

  // Poll rather than block on the pipe: a program the child started may hold the
  // output's write end long after the child itself is gone.
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  bool timed_out = false;
  for (;;) {
    bool open = DrainAvailable(out_read, &result.output);
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_OBJECT_0) break;
    if (GetTickCount64() >= deadline) {
      TerminateProcess(info.hProcess, kTimedOutCode);
      WaitForSingleObject(info.hProcess, 5000);
      timed_out = true;
      break;
    }
    Sleep(open ? 2 : 10);
  }
  DrainAvailable(out_read, &result.output);
  feeder.join();

  DWORD code = 0;
  if (timed_out) {
    code = kTimedOutCode;
  } else if (!GetExitCodeProcess(info.hProcess, &code)) {
    code = kTimedOutCode;
  }
  result.exit_code = code;
  CloseHandle(info.hProcess);
  CloseHandle(out_read);
  return result;
}

void SetTestEnvironment(const char* name, const char* value) {
  const std::wstring wide_name = Widen(name);
  if (value == nullptr) {
    SetEnvironmentVariableW(wide_name.c_str(), nullptr);
    _wputenv_s(wide_name.c_str(), L"");
    return;
  }
  const std::wstring wide_value = Widen(value);
  SetEnvironmentVariableW(wide_name.c_str(), wide_value.c_str());
  _wputenv_s(wide_name.c_str(), wide_value.c_str());
}

uint64_t PeakMemoryBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
  return counters.PeakWorkingSetSize;
}
