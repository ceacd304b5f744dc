// A system error code in words a player can act on, for boxes and the log.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

constexpr size_t kErrorWordsLimit = 95;  // units of text; buffers hold one more

// "the disk is full", "access is denied", ...; codes without words of their
// own as "Windows error N".
void DescribeSystemError(uint32_t code, WCHAR* out);
