// Runs programs to their end through the system's own operations, not
// g_platform, so a test's fault injection never reaches it.
#include "tests/support/process.h"

#include <chrono>

#include "platform/platform.h"

namespace {

// Moves what the pipe holds now into `output`, without blocking.
void Drain(const PlatformOps& os, HANDLE pipe, std::string* output) {
  char buffer[4096];
  DWORD available = 0, got = 0;
  while (os.PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0 &&
         os.ReadFile(pipe, buffer, available < sizeof buffer ? available : sizeof buffer, &got,
                     nullptr) &&
         got > 0) {
    output->append(buffer, got);
  }
}

}  // namespace

ProgramResult RunProgramToEnd(const PfChar* application, const PfChar* command_line,
                              const PfChar* current_directory, uint32_t timeout_ms) {
  const PlatformOps& os = SystemPlatform();
  ProgramResult result{false, 0, {}};
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE in_read, in_write, out_read, out_write;
  // An input that ends at once, so a child that reads it never waits.
  if (!os.CreatePipe(&in_read, &in_write, &inherit, 0)) return result;
  os.CloseHandle(in_write);
  if (!os.CreatePipe(&out_read, &out_write, &inherit, 0)) {
    os.CloseHandle(in_read);
    return result;
  }
  // Our end stays ours: a child holding it would keep the pipe open forever.
  os.SetHandleInformation(out_read, HANDLE_FLAG_INHERIT, 0);
  std::u16string line = command_line;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in_read;
  startup.hStdOutput = out_write;
  startup.hStdError = out_write;
  PROCESS_INFORMATION info{};
  result.started = os.CreateProcessW(application, line.data(), nullptr, nullptr, TRUE,
                                     CREATE_NO_WINDOW, nullptr, current_directory, &startup,
                                     &info) != 0;
  // The child has its copies now; without closing ours the output never ends.
  os.CloseHandle(in_read);
  os.CloseHandle(out_write);
  if (result.started) {
    os.CloseHandle(info.hThread);
    // Poll rather than read to the end: a program the child started (the game)
    // may hold the output's write end long after the child itself is gone.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    bool ended = false;
    while (!ended && std::chrono::steady_clock::now() < deadline) {
      Drain(os, out_read, &result.output);
      ended = os.WaitForSingleObject(info.hProcess, 5) == WAIT_OBJECT_0;
    }
    Drain(os, out_read, &result.output);
    result.exit_code = EndProcess(info.hProcess, !ended);
    os.CloseHandle(info.hProcess);
  }
  os.CloseHandle(out_read);
  return result;
}
