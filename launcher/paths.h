// Where the release folder is. Filled once at the start of a run and read by
// every step.
#pragma once

#include "platform/platform.h"

struct LauncherPaths {
  WCHAR install_root[260];  // the launcher's own folder, no trailing backslash
  WCHAR data_dir[276];      // install root + "\data\HV1", cut to 275 characters
};

extern LauncherPaths g_paths;

// Fills g_paths from the program's own path. False when that path could not be
// had whole (the call failed or did not fit 260 characters): the caller must
// not run on a cut path.
bool FillLauncherPaths();

// Sets the install root (cut to 259 characters) and derives the data directory;
// FillLauncherPaths ends here, and tests call it to point the run at a folder.
void SetInstallRoot(const WCHAR* root);
