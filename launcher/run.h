// The launcher's main operation and the steps it runs in order.
#pragma once

#include "disc/manifest.h"
#include "platform/platform.h"

struct LauncherOptions {
  bool setup;
  bool play;
  bool has_setup_from;         // "--setup-from" given with a path (an empty one too)
  const WCHAR* setup_from;     // points into the argument array, which is never freed
  bool ships;
  bool ships_yes;
};

// Start values: everything off but play.
LauncherOptions DefaultOptions();

// Applies the switches of an argument list, in order.
void ParseSwitches(WCHAR** args, int32_t count, LauncherOptions* options);

// Runs one start of the launcher with the command-line text that follows the
// program's name, and returns the process exit code (0 or 1).
int RunLauncher(const WCHAR* command_text);

// Runs the whole sequence after the paths are known, installing against
// `manifest` when setup runs; RunLauncher ends here with the game's manifest.
int RunSequence(const LauncherOptions& options, const DiscManifest& manifest);

// Starts bin\hv1-glint.exe with "--dx12" in the data directory; 0 when it
// started, 1 (after telling the user) when it did not.
int LaunchGame();

// The split command line, kept for the whole run (setup_from points into it)
// and never released; held here so that leak checkers see it kept, not lost.
extern WCHAR** g_arguments;
