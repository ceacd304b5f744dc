// The Linux entry: joins the arguments into the command-line text a Windows
// program would receive after its own name, so the run splits it the same way.
#include "launcher/join_arguments.h"
#include "launcher/run.h"

int main(int argc, char** argv) {
  static WCHAR text[32768];
  static WCHAR arg[32768];
  size_t length = 0;
  text[0] = u'\0';
  for (int i = 1; i < argc; ++i) {
    if (MultiByteToWideChar(CP_UTF8, 0, argv[i], -1, arg, 32768) == 0) return 1;
    if (!AppendQuotedArgument(text, &length, 32768, arg, i == 1)) return 1;
  }
  return RunLauncher(text);
}
