// The Linux entry: the arguments arrive as UTF-8.
#include <cstdio>

#include "tools/halvorn_disc/disc_tool.h"

int main(int argc, char** argv) {
  static WCHAR text[8][4096];
  const WCHAR* args[8];
  if (argc > 8) argc = 8;  // more than any command takes; the usage line follows
  for (int i = 0; i < argc; ++i) {
    if (MultiByteToWideChar(CP_UTF8, 0, argv[i], -1, text[i], 4096) == 0) return 2;
    args[i] = text[i];
  }
  return RunDiscTool(argc, args, stdout, stderr);
}
