// halvorn-disc: looks at a disc image the way the launcher does, for people
// finding out why an image is refused, and converting raw CD images into one
// it accepts. Commands: list, manifest, verify, convert, and a dropped file.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/platform.h"

// Runs one command with the program's arguments (argv[0] the program name),
// writing results to `out` and messages to `err` (UTF-8); returns the exit code.
int RunDiscTool(int argc, const WCHAR* const* argv, FILE* out, FILE* err);

// The commands, for tests.
int ListDiscImage(const WCHAR* path, FILE* out, FILE* err);
int PrintManifest(FILE* out);
int VerifyDiscImage(const WCHAR* path, FILE* out);
// convert IN OUT.iso: 0 when written with no damaged sector.
int ConvertCommand(const WCHAR* in, const WCHAR* out_path, FILE* out);
// A file dropped on the program: verified, converted beside it first when it
// needs to be, then one closing sentence. 0 when the launcher can install.
int RunDroppedFile(const WCHAR* path, FILE* out);
// Whether the arguments are the dropped-file form (a single existing file).
bool IsDroppedFile(int argc, const WCHAR* const* argv);
// Whether the program was started for a player, who reads its answer in a
// console of the program's own: a file or a drive dropped on it, or nothing.
bool StartedForAPlayer(int argc, const WCHAR* const* argv);
// Whether this console window is the program's own (started from Explorer),
// so it closes when the program ends.
bool ConsoleIsOwnWindow();
