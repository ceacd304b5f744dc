// The logic's view of the system: Windows names, types and constants, with every
// call going through g_platform (ops.h). Never include this next to windows.h.
#pragma once

#include "platform/constants.h"
#include "platform/ops.h"

using WCHAR = PfChar;
using HANDLE = PfHandle;
using HWND = PfWindow;
using BOOL = PfBool;
using DWORD = uint32_t;
using SECURITY_ATTRIBUTES = PfSecurityAttributes;
using STARTUPINFOW = PfStartupInfo;
using PROCESS_INFORMATION = PfProcessInformation;
using WIN32_FIND_DATAW = PfFindData;
using OPENFILENAMEW = PfOpenFileName;
using MSG = PfMsg;

inline HANDLE const INVALID_HANDLE_VALUE = kPfInvalidHandle;

// Each operation as a plain call through g_platform: CreateFileW(...).
#define HV_OP_WRAPPER(result, name, parameters, arguments, failure) \
  inline result name parameters { return g_platform.name arguments; }
HV_PLATFORM_OPERATIONS(HV_OP_WRAPPER)
#undef HV_OP_WRAPPER
