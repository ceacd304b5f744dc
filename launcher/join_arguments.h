// Building a Windows command-line text from separate arguments, so that
// CommandLineToArgvW gives the same arguments back.
#pragma once

#include <cstddef>

#include "platform/platform.h"

// Appends `arg` to `out` (holding `length` units, capacity `capacity` units
// including the terminator), preceded by a space unless it is the first.
// `first` selects the rule of the first token, which has no escapes: it is
// quoted when it holds a space or tab, and cannot carry a double quote.
// Returns false, leaving `out` as it was, when the result would not fit.
bool AppendQuotedArgument(WCHAR* out, size_t* length, size_t capacity, const WCHAR* arg,
                          bool first);
