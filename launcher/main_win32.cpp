// The Windows entry: a GUI-subsystem program, so no console window appears.
// Declared without windows.h; the runtime passes the command-line text that
// follows the program's name.
#include "launcher/run.h"

extern "C" int __stdcall wWinMain(void* /*instance*/, void* /*previous*/, wchar_t* command_text,
                                  int /*show*/) {
  static_assert(sizeof(wchar_t) == sizeof(WCHAR), "UTF-16 wide characters");
  return RunLauncher(reinterpret_cast<const WCHAR*>(command_text));
}
