// The Windows entry (console, -municode): the arguments arrive as UTF-16.
#include <cstdio>

#include "tools/halvorn_disc/disc_tool.h"

static_assert(sizeof(wchar_t) == sizeof(WCHAR), "wide arguments are UTF-16 here");

int wmain(int argc, wchar_t** argv) {
  return RunDiscTool(argc, reinterpret_cast<const WCHAR* const*>(argv), stdout, stderr);
}
