// Runs programs to their end through the system's own operations, not
// g_platform, so a test's fault injection never reaches it.
#include "tests/support/process.h"

#include "platform/platform.h"

std::optional<uint32_t> RunProgramToEnd(const std::u16string& application,
                                        std::u16string command_line,
                                        const std::u16string& current_directory) {
  const PlatformOps& os = SystemPlatform();
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!os.CreateProcessW(application.c_str(), command_line.data(), nullptr, nullptr, FALSE, 0,
                         nullptr, current_directory.c_str(), &startup, &info)) {
    return std::nullopt;
  }
  os.CloseHandle(info.hThread);
  uint32_t code = ExitCodeAtEnd(info.hProcess);
  os.CloseHandle(info.hProcess);
  return code;
}
