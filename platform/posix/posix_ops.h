// The POSIX implementations of the table's entries, defined across this folder.
#pragma once

#include "platform/ops.h"

PfHandle Posix_CreateFileW(const PfChar*, uint32_t, uint32_t, PfSecurityAttributes*, uint32_t,
                           uint32_t, PfHandle);
PfBool Posix_SetFilePointerEx(PfHandle, int64_t, int64_t*, uint32_t);
PfBool Posix_ReadFile(PfHandle, void*, uint32_t, uint32_t*, void*);
PfBool Posix_WriteFile(PfHandle, const void*, uint32_t, uint32_t*, void*);
uint32_t Posix_GetFileAttributesW(const PfChar*);
PfBool Posix_SetFileAttributesW(const PfChar*, uint32_t);
PfBool Posix_DeleteFileW(const PfChar*);
PfBool Posix_MoveFileExW(const PfChar*, const PfChar*, uint32_t);
PfHandle Posix_FindFirstFileW(const PfChar*, PfFindData*);
PfBool Posix_FindNextFileW(PfHandle, PfFindData*);
PfBool Posix_FindClose(PfHandle);
int32_t Posix_SHCreateDirectoryExW(PfWindow, const PfChar*, PfSecurityAttributes*);

int32_t Posix_MessageBoxW(PfWindow, const PfChar*, const PfChar*, uint32_t);
PfBool Posix_GetOpenFileNameW(PfOpenFileName*);
PfWindow Posix_CreateWindowExW(uint32_t, const PfChar*, const PfChar*, uint32_t, int32_t, int32_t,
                               int32_t, int32_t, PfWindow, void*, void*, void*);
PfBool Posix_SetWindowTextW(PfWindow, const PfChar*);
PfBool Posix_DestroyWindow(PfWindow);
