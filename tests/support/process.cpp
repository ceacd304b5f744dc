// Runs programs to their end through the system's own operations, not
// g_platform, so a test's fault injection never reaches it.
#include "tests/support/process.h"

#include <string>

#include "platform/platform.h"

ProgramResult RunProgramToEnd(const PfChar* application, const PfChar* command_line,
                              const PfChar* current_directory) {
  const PlatformOps& os = SystemPlatform();
  std::u16string line = command_line;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!os.CreateProcessW(application, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         current_directory, &startup, &info)) {
    return {false, 0};
  }
  os.CloseHandle(info.hThread);
  uint32_t code = ExitCodeAtEnd(info.hProcess);
  os.CloseHandle(info.hProcess);
  return {true, code};
}
