// Text from an image or a .cue sheet, for the console. Such names may hold
// control characters (which could move the cursor, erase a line or forge a
// line of output): they are shown as \xNN, C1 controls (U+0080 to U+009F,
// which some terminals take for escape sequences) as \u00NN.
#pragma once

#include <cstdint>
#include <cstdio>

#include "platform/platform.h"

// `text` as UTF-8 with control characters shown escaped, cut to fit `size`.
void SafeUtf8(const WCHAR* text, char* out, uint32_t size);

// A name in the ANSI code page (as names are read from an image), widened
// and written as SafeUtf8 gives it.
void PutSafeName(const char* name, FILE* out);
