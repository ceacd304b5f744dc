// The POSIX implementations of the operations, defined across this folder
// (files.cpp, processes.cpp, text.cpp, ui.cpp, split_arguments.cpp) and put
// into the table by system_platform.cpp.
#pragma once

#include "platform/constants.h"
#include "platform/ops.h"

#define HV_POSIX_DECLARE(result, name, parameters, arguments, failure) \
  result Posix_##name parameters;
HV_PLATFORM_OPERATIONS(HV_POSIX_DECLARE)
#undef HV_POSIX_DECLARE
