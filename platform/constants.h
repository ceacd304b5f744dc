// The Windows constants, defined for the logic and the POSIX layer (never
// include this next to windows.h, which defines them as macros).
#pragma once

#include <cstdint>

#include "platform/constants_list.h"

#define HV_DEFINE_CONSTANT(type, name, value) constexpr type name = value;
HV_WINDOWS_CONSTANTS(HV_DEFINE_CONSTANT)
#undef HV_DEFINE_CONSTANT
