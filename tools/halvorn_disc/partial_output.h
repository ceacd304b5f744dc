// The file an output is written under until it is whole: a new file beside
// the output, under a name not taken, renamed to the output's name at the
// end, never over a file. It is created exclusively (never an existing file,
// nor one a link leads to), so it can be no input and no file a .cue sheet
// names, whatever their spelling. It is removed when the work fails, and
// when Ctrl+C is pressed or the console window closed: a console control
// handler removes it before the process ends.
#pragma once

#include <cstdio>

#include "platform/platform.h"
#include "tools/halvorn_disc/image_kind.h"

struct PartialOutput {
  HANDLE file;  // open for writing and reading back, sharing deletion (for the handler)
  WCHAR path[kToolPathUnits + 16];
};

// Creates the file for `out_path`: OUT.partial, or OUT.partial2 up to
// OUT.partial9 when the names before it are taken. False, having said why on
// `msg`, when none can be made.
bool BeginPartialOutput(const WCHAR* out_path, PartialOutput* partial, FILE* msg);

// Closes the file and gives it the name `out_path` unless a file has that
// name; false, having removed it, when closing or renaming fails.
bool FinishPartialOutput(PartialOutput* partial, const WCHAR* out_path);

// Closes and removes the file.
void AbandonPartialOutput(PartialOutput* partial);
