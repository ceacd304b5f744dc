// The Windows implementation of the platform table: each entry forwards to the
// system call of the same name. The records of ops.h are laid out as the
// Windows structs (checked below), so pointers are passed on as they are.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <commdlg.h>

#include <cstddef>

#include "platform/constants_list.h"
#include "platform/ops.h"

namespace {

// The constants the logic and the POSIX layer use are the system's own.
#define HV_CHECK_CONSTANT(type, name, value) \
  static_assert(static_cast<uint64_t>(name) == static_cast<uint64_t>(value), #name);
HV_WINDOWS_CONSTANTS(HV_CHECK_CONSTANT)
#undef HV_CHECK_CONSTANT

static_assert(sizeof(wchar_t) == sizeof(PfChar), "WCHAR is one UTF-16 unit");
static_assert(sizeof(DWORD) == sizeof(uint32_t), "DWORD");
static_assert(sizeof(BOOL) == sizeof(PfBool), "BOOL");
static_assert(sizeof(HANDLE) == sizeof(PfHandle), "HANDLE");

#define HV_SAME_FIELD(pf, win, pf_field, win_field)           \
  static_assert(offsetof(pf, pf_field) == offsetof(win, win_field) && \
                    sizeof(pf::pf_field) == sizeof(win::win_field),    \
                #win "." #win_field)

static_assert(sizeof(PfSecurityAttributes) == sizeof(SECURITY_ATTRIBUTES), "SECURITY_ATTRIBUTES");
HV_SAME_FIELD(PfSecurityAttributes, SECURITY_ATTRIBUTES, lpSecurityDescriptor, lpSecurityDescriptor);
HV_SAME_FIELD(PfSecurityAttributes, SECURITY_ATTRIBUTES, bInheritHandle, bInheritHandle);

static_assert(sizeof(PfStartupInfo) == sizeof(STARTUPINFOW), "STARTUPINFOW");
HV_SAME_FIELD(PfStartupInfo, STARTUPINFOW, lpTitle, lpTitle);
HV_SAME_FIELD(PfStartupInfo, STARTUPINFOW, dwFlags, dwFlags);
HV_SAME_FIELD(PfStartupInfo, STARTUPINFOW, wShowWindow, wShowWindow);
HV_SAME_FIELD(PfStartupInfo, STARTUPINFOW, lpReserved2, lpReserved2);
HV_SAME_FIELD(PfStartupInfo, STARTUPINFOW, hStdInput, hStdInput);
HV_SAME_FIELD(PfStartupInfo, STARTUPINFOW, hStdOutput, hStdOutput);
HV_SAME_FIELD(PfStartupInfo, STARTUPINFOW, hStdError, hStdError);

static_assert(sizeof(PfProcessInformation) == sizeof(PROCESS_INFORMATION), "PROCESS_INFORMATION");
HV_SAME_FIELD(PfProcessInformation, PROCESS_INFORMATION, hThread, hThread);
HV_SAME_FIELD(PfProcessInformation, PROCESS_INFORMATION, dwProcessId, dwProcessId);
HV_SAME_FIELD(PfProcessInformation, PROCESS_INFORMATION, dwThreadId, dwThreadId);

static_assert(sizeof(PfFindData) == sizeof(WIN32_FIND_DATAW), "WIN32_FIND_DATAW");
HV_SAME_FIELD(PfFindData, WIN32_FIND_DATAW, ftLastWriteTime, ftLastWriteTime);
HV_SAME_FIELD(PfFindData, WIN32_FIND_DATAW, nFileSizeHigh, nFileSizeHigh);
HV_SAME_FIELD(PfFindData, WIN32_FIND_DATAW, nFileSizeLow, nFileSizeLow);
HV_SAME_FIELD(PfFindData, WIN32_FIND_DATAW, cFileName, cFileName);
HV_SAME_FIELD(PfFindData, WIN32_FIND_DATAW, cAlternateFileName, cAlternateFileName);

static_assert(sizeof(PfOpenFileName) == sizeof(OPENFILENAMEW), "OPENFILENAMEW");
HV_SAME_FIELD(PfOpenFileName, OPENFILENAMEW, hwndOwner, hwndOwner);
HV_SAME_FIELD(PfOpenFileName, OPENFILENAMEW, lpstrFilter, lpstrFilter);
HV_SAME_FIELD(PfOpenFileName, OPENFILENAMEW, nFilterIndex, nFilterIndex);
HV_SAME_FIELD(PfOpenFileName, OPENFILENAMEW, lpstrFile, lpstrFile);
HV_SAME_FIELD(PfOpenFileName, OPENFILENAMEW, nMaxFile, nMaxFile);
HV_SAME_FIELD(PfOpenFileName, OPENFILENAMEW, lpstrTitle, lpstrTitle);
HV_SAME_FIELD(PfOpenFileName, OPENFILENAMEW, Flags, Flags);
HV_SAME_FIELD(PfOpenFileName, OPENFILENAMEW, nFileOffset, nFileOffset);
HV_SAME_FIELD(PfOpenFileName, OPENFILENAMEW, lpstrDefExt, lpstrDefExt);
HV_SAME_FIELD(PfOpenFileName, OPENFILENAMEW, lCustData, lCustData);
HV_SAME_FIELD(PfOpenFileName, OPENFILENAMEW, FlagsEx, FlagsEx);

// MSG has no lPrivate field in these headers; the trailing field sits in what
// would otherwise be padding, so the sizes still agree.
static_assert(sizeof(PfMsg) == sizeof(MSG), "MSG");
HV_SAME_FIELD(PfMsg, MSG, message, message);
HV_SAME_FIELD(PfMsg, MSG, wParam, wParam);
HV_SAME_FIELD(PfMsg, MSG, lParam, lParam);
HV_SAME_FIELD(PfMsg, MSG, time, time);
HV_SAME_FIELD(PfMsg, MSG, pt, pt);

#undef HV_SAME_FIELD

// Casts of the shared types to the Windows ones; the checks above make them exact.
inline const wchar_t* W(const PfChar* text) { return reinterpret_cast<const wchar_t*>(text); }
inline wchar_t* W(PfChar* text) { return reinterpret_cast<wchar_t*>(text); }
inline DWORD* D(uint32_t* value) { return reinterpret_cast<DWORD*>(value); }
inline SECURITY_ATTRIBUTES* Sa(PfSecurityAttributes* sa) {
  return reinterpret_cast<SECURITY_ATTRIBUTES*>(sa);
}

PfHandle SysCreateFileW(const PfChar* name, uint32_t access, uint32_t share,
                        PfSecurityAttributes* sa, uint32_t disposition, uint32_t flags,
                        PfHandle template_file) {
  return ::CreateFileW(W(name), access, share, Sa(sa), disposition, flags, template_file);
}

PfBool SysSetFilePointerEx(PfHandle file, int64_t distance, int64_t* new_position,
                           uint32_t method) {
  LARGE_INTEGER to;
  to.QuadPart = distance;
  LARGE_INTEGER at;
  at.QuadPart = 0;
  BOOL ok = ::SetFilePointerEx(file, to, new_position ? &at : nullptr, method);
  if (ok && new_position) *new_position = at.QuadPart;
  return ok;
}

PfBool SysReadFile(PfHandle file, void* buffer, uint32_t to_read, uint32_t* read,
                   void* overlapped) {
  return ::ReadFile(file, buffer, to_read, D(read), static_cast<OVERLAPPED*>(overlapped));
}

PfBool SysWriteFile(PfHandle file, const void* buffer, uint32_t to_write, uint32_t* written,
                    void* overlapped) {
  return ::WriteFile(file, buffer, to_write, D(written), static_cast<OVERLAPPED*>(overlapped));
}

PfBool SysCloseHandle(PfHandle handle) { return ::CloseHandle(handle); }

uint32_t SysGetFileAttributesW(const PfChar* name) { return ::GetFileAttributesW(W(name)); }

PfBool SysSetFileAttributesW(const PfChar* name, uint32_t attributes) {
  return ::SetFileAttributesW(W(name), attributes);
}

PfBool SysDeleteFileW(const PfChar* name) { return ::DeleteFileW(W(name)); }

PfBool SysMoveFileExW(const PfChar* existing, const PfChar* new_name, uint32_t flags) {
  return ::MoveFileExW(W(existing), W(new_name), flags);
}

PfHandle SysFindFirstFileW(const PfChar* pattern, PfFindData* data) {
  return ::FindFirstFileW(W(pattern), reinterpret_cast<WIN32_FIND_DATAW*>(data));
}

PfBool SysFindNextFileW(PfHandle find, PfFindData* data) {
  return ::FindNextFileW(find, reinterpret_cast<WIN32_FIND_DATAW*>(data));
}

PfBool SysFindClose(PfHandle find) { return ::FindClose(find); }

PfBool SysCreateDirectoryW(const PfChar* path, PfSecurityAttributes* sa) {
  return ::CreateDirectoryW(W(path), Sa(sa));
}

int32_t SysSHCreateDirectoryExW(PfWindow owner, const PfChar* path, PfSecurityAttributes* sa) {
  return ::SHCreateDirectoryExW(static_cast<HWND>(owner), W(path), Sa(sa));
}

PfBool SysGetDiskFreeSpaceExW(const PfChar* folder, uint64_t* free_to_caller, uint64_t* total,
                               uint64_t* total_free) {
  static_assert(sizeof(ULARGE_INTEGER) == sizeof(uint64_t), "ULARGE_INTEGER");
  return ::GetDiskFreeSpaceExW(W(folder), reinterpret_cast<ULARGE_INTEGER*>(free_to_caller),
                               reinterpret_cast<ULARGE_INTEGER*>(total),
                               reinterpret_cast<ULARGE_INTEGER*>(total_free));
}

uint32_t SysGetLastError() { return ::GetLastError(); }

uint32_t SysGetLogicalDriveStringsW(uint32_t size, PfChar* buffer) {
  return ::GetLogicalDriveStringsW(size, W(buffer));
}

uint32_t SysGetDriveTypeW(const PfChar* root) { return ::GetDriveTypeW(W(root)); }

uint64_t SysGetTickCount64() { return ::GetTickCount64(); }

PfHandle SysCreateMutexW(PfSecurityAttributes* sa, PfBool initial_owner, const PfChar* name) {
  return ::CreateMutexW(Sa(sa), initial_owner, W(name));
}

uint32_t SysGetModuleFileNameW(void* module, PfChar* buffer, uint32_t size) {
  return ::GetModuleFileNameW(static_cast<HMODULE>(module), W(buffer), size);
}

PfBool SysCreateProcessW(const PfChar* application, PfChar* command_line,
                         PfSecurityAttributes* process_sa, PfSecurityAttributes* thread_sa,
                         PfBool inherit_handles, uint32_t creation_flags, void* environment,
                         const PfChar* current_directory, PfStartupInfo* startup,
                         PfProcessInformation* info) {
  return ::CreateProcessW(W(application), W(command_line), Sa(process_sa), Sa(thread_sa),
                          inherit_handles, creation_flags, environment, W(current_directory),
                          reinterpret_cast<STARTUPINFOW*>(startup),
                          reinterpret_cast<PROCESS_INFORMATION*>(info));
}

PfBool SysCreatePipe(PfHandle* read_end, PfHandle* write_end, PfSecurityAttributes* sa,
                     uint32_t size) {
  return ::CreatePipe(read_end, write_end, Sa(sa), size);
}

PfBool SysSetHandleInformation(PfHandle handle, uint32_t mask, uint32_t flags) {
  return ::SetHandleInformation(handle, mask, flags);
}

PfBool SysPeekNamedPipe(PfHandle pipe, void* buffer, uint32_t size, uint32_t* read,
                        uint32_t* available, uint32_t* left_in_message) {
  return ::PeekNamedPipe(pipe, buffer, size, D(read), D(available), D(left_in_message));
}

uint32_t SysWaitForSingleObject(PfHandle handle, uint32_t milliseconds) {
  return ::WaitForSingleObject(handle, milliseconds);
}

uint32_t SysGetConsoleProcessList(uint32_t* list, uint32_t count) {
  return ::GetConsoleProcessList(D(list), count);
}

PfBool SysSetConsoleCtrlHandler(PfCtrlHandler handler, PfBool add) {
  static_assert(sizeof(PHANDLER_ROUTINE) == sizeof(PfCtrlHandler), "PHANDLER_ROUTINE");
  // One calling convention on x86-64: the shared type is the system's.
  return ::SetConsoleCtrlHandler(reinterpret_cast<PHANDLER_ROUTINE>(handler), add);
}

int32_t SysMultiByteToWideChar(uint32_t code_page, uint32_t flags, const char* text,
                               int32_t length, PfChar* out, int32_t out_size) {
  return ::MultiByteToWideChar(code_page, flags, text, length, W(out), out_size);
}

int32_t SysWideCharToMultiByte(uint32_t code_page, uint32_t flags, const PfChar* text,
                               int32_t length, char* out, int32_t out_size,
                               const char* default_char, PfBool* used_default) {
  return ::WideCharToMultiByte(code_page, flags, W(text), length, out, out_size, default_char,
                               reinterpret_cast<BOOL*>(used_default));
}

int32_t SysMessageBoxW(PfWindow owner, const PfChar* text, const PfChar* caption,
                       uint32_t type) {
  return ::MessageBoxW(static_cast<HWND>(owner), W(text), W(caption), type);
}

PfBool SysGetOpenFileNameW(PfOpenFileName* ofn) {
  return ::GetOpenFileNameW(reinterpret_cast<OPENFILENAMEW*>(ofn));
}

PfWindow SysCreateWindowExW(uint32_t ex_style, const PfChar* class_name,
                            const PfChar* window_name, uint32_t style, int32_t x, int32_t y,
                            int32_t width, int32_t height, PfWindow parent, void* menu,
                            void* instance, void* param) {
  return ::CreateWindowExW(ex_style, W(class_name), W(window_name), style, x, y, width, height,
                           static_cast<HWND>(parent), static_cast<HMENU>(menu),
                           static_cast<HINSTANCE>(instance), param);
}

intptr_t SysSendMessageW(PfWindow window, uint32_t message, uintptr_t wparam, intptr_t lparam) {
  return ::SendMessageW(static_cast<HWND>(window), message, wparam, lparam);
}

PfBool SysSetWindowTextW(PfWindow window, const PfChar* text) {
  return ::SetWindowTextW(static_cast<HWND>(window), W(text));
}

PfBool SysUpdateWindow(PfWindow window) { return ::UpdateWindow(static_cast<HWND>(window)); }

PfBool SysDestroyWindow(PfWindow window) { return ::DestroyWindow(static_cast<HWND>(window)); }

PfBool SysPeekMessageW(PfMsg* msg, PfWindow window, uint32_t filter_min, uint32_t filter_max,
                       uint32_t remove) {
  return ::PeekMessageW(reinterpret_cast<MSG*>(msg), static_cast<HWND>(window), filter_min,
                        filter_max, remove);
}

intptr_t SysDispatchMessageW(const PfMsg* msg) {
  return ::DispatchMessageW(reinterpret_cast<const MSG*>(msg));
}

int32_t SysGetSystemMetrics(int32_t index) { return ::GetSystemMetrics(index); }

// The DPI calls came with Windows 10 (1607): looked up at run time, so that the
// program still starts on a system without them, which then has one DPI for
// the whole screen, the screen's own.
template <class Function>
Function User32Function(const char* name) {
  HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  return user32 ? reinterpret_cast<Function>(
                      reinterpret_cast<void*>(::GetProcAddress(user32, name)))
                : nullptr;
}

uint32_t ScreenDpi() {
  HDC screen = ::GetDC(nullptr);
  if (screen == nullptr) return USER_DEFAULT_SCREEN_DPI;
  int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<uint32_t>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

uint32_t SysGetDpiForSystem() {
  static auto get = User32Function<UINT(WINAPI*)()>("GetDpiForSystem");
  return get ? get() : ScreenDpi();
}

uint32_t SysGetDpiForWindow(PfWindow window) {
  static auto get = User32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  return get ? get(static_cast<HWND>(window)) : ScreenDpi();
}

PfBool SysSetWindowPos(PfWindow window, PfWindow insert_after, int32_t x, int32_t y,
                       int32_t width, int32_t height, uint32_t flags) {
  return ::SetWindowPos(static_cast<HWND>(window), static_cast<HWND>(insert_after), x, y, width,
                        height, flags);
}

void* SysGetStockObject(int32_t object) { return ::GetStockObject(object); }

PfChar** SysCommandLineToArgvW(const PfChar* command_line, int32_t* count) {
  static_assert(sizeof(int32_t) == sizeof(int), "int");
  return reinterpret_cast<PfChar**>(
      ::CommandLineToArgvW(W(command_line), reinterpret_cast<int*>(count)));
}

}  // namespace

const PlatformOps& SystemPlatform() {
  static const PlatformOps ops = {
#define HV_OP_SYSTEM(result, name, parameters, arguments, failure) .name = Sys##name,
      HV_PLATFORM_OPERATIONS(HV_OP_SYSTEM)
#undef HV_OP_SYSTEM
  };
  return ops;
}
