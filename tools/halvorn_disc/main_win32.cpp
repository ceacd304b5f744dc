// The Windows entry (console, -municode): the arguments arrive as UTF-16.
#include <cstdio>

#include "tools/halvorn_disc/disc_tool.h"

static_assert(sizeof(wchar_t) == sizeof(WCHAR), "wide arguments are UTF-16 here");

int wmain(int argc, wchar_t** argv) {
  const WCHAR* const* args = reinterpret_cast<const WCHAR* const*>(argv);
  int code = RunDiscTool(argc, args, stdout, stderr);
  // A file or drive dropped on the program, or the program double-clicked,
  // opens a console of its own, which would close with the answer unread.
  if (StartedForAPlayer(argc, args) && ConsoleIsOwnWindow()) {
    std::fputs("Press Enter to close this window.\n", stdout);
    std::fflush(stdout);
    for (int c = std::getchar(); c != '\n' && c != EOF;) c = std::getchar();
  }
  return code;
}
