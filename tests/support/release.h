// Temporary release folders laid out as the real one.
#pragma once

#include <string>

#include "tests/support/files.h"

struct ReleaseParts {
  bool launcher = false;  // the built launcher program at the top
  bool game = true;       // bin\hv1-glint.exe (the stand-in game)
  bool data = true;       // data\HV1\GAMEDAT holding 20 files: counts as installed
};

void MakeReleaseFolder(const fs::path& root, const ReleaseParts& parts);

// The launcher program's path inside a release folder made with launcher on.
fs::path LauncherIn(const fs::path& root);

// What the stand-in game recorded ("cwd=...\nargc=...\narg=...\n"), or "" when
// it did not run. The record file is the one HV_STANDIN_RECORD names.
fs::path GameRecordPath(const fs::path& root);
