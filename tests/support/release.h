// Temporary release folders laid out as the real one.
#pragma once

#include "tests/support/files.h"

struct ReleaseParts {
  bool game = true;     // bin\hv1-glint.exe (the stand-in game)
  bool data = true;     // data\HV1\GAMEDAT holding 20 files: counts as installed
  bool python = false;  // bin\python\python.exe (the stand-in interpreter)
};

void MakeReleaseFolder(const fs::path& root, const ReleaseParts& parts);
