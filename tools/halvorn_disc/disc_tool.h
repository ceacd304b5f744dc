// halvorn-disc: looks at a disc image the way the launcher does, for people
// finding out why an image is refused. Commands: list, manifest, verify.
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
