// The logic's view of the system: Windows names, types and constants, with every
// call going through g_platform (ops.h). Never include this next to windows.h.
#pragma once

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

inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(intptr_t{-1});

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

// Access, sharing, dispositions and flags of CreateFileW.
constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_APPEND_DATA = 0x00000004u;
constexpr DWORD FILE_SHARE_READ = 0x00000001u;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002u;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000u;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;
// MoveFileExW: without MOVEFILE_REPLACE_EXISTING an existing target is kept.
constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;

// File attributes.
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

// SHCreateDirectoryExW results.
constexpr int32_t ERROR_SUCCESS = 0;
constexpr int32_t ERROR_FILE_EXISTS = 80;
constexpr int32_t ERROR_ALREADY_EXISTS = 183;

// Processes, pipes and waits.
constexpr DWORD HANDLE_FLAG_INHERIT = 0x1;
constexpr DWORD CREATE_NO_WINDOW = 0x08000000u;
constexpr DWORD STARTF_USESTDHANDLES = 0x100;
constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;

// Code pages.
constexpr DWORD CP_ACP = 0;
constexpr DWORD CP_UTF8 = 65001;

// Message boxes.
constexpr DWORD MB_OK = 0x00;
constexpr DWORD MB_OKCANCEL = 0x01;
constexpr DWORD MB_YESNO = 0x04;
constexpr DWORD MB_ICONERROR = 0x10;
constexpr DWORD MB_ICONQUESTION = 0x20;
constexpr DWORD MB_ICONWARNING = 0x30;
constexpr DWORD MB_ICONINFORMATION = 0x40;
constexpr int32_t IDOK = 1;
constexpr int32_t IDCANCEL = 2;
constexpr int32_t IDYES = 6;
constexpr int32_t IDNO = 7;

// Open-file dialog.
constexpr DWORD OFN_HIDEREADONLY = 0x00000004u;
constexpr DWORD OFN_PATHMUSTEXIST = 0x00000800u;
constexpr DWORD OFN_FILEMUSTEXIST = 0x00001000u;

// Windows and messages.
constexpr DWORD WS_EX_TOPMOST = 0x00000008u;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080u;
constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_BORDER = 0x00800000u;
constexpr DWORD SS_CENTER = 0x00000001u;
constexpr DWORD SS_CENTERIMAGE = 0x00000200u;
constexpr DWORD WM_SETFONT = 0x0030;
constexpr DWORD PM_REMOVE = 0x0001;
constexpr int32_t SM_CXSCREEN = 0;
constexpr int32_t SM_CYSCREEN = 1;
constexpr int32_t DEFAULT_GUI_FONT = 17;

inline HANDLE CreateFileW(const WCHAR* name, DWORD access, DWORD share, SECURITY_ATTRIBUTES* sa,
                          DWORD disposition, DWORD flags, HANDLE template_file) {
  return g_platform.CreateFileW(name, access, share, sa, disposition, flags, template_file);
}
inline BOOL SetFilePointerEx(HANDLE file, int64_t distance, int64_t* new_position, DWORD method) {
  return g_platform.SetFilePointerEx(file, distance, new_position, method);
}
inline BOOL ReadFile(HANDLE file, void* buffer, DWORD to_read, DWORD* read, void* overlapped) {
  return g_platform.ReadFile(file, buffer, to_read, read, overlapped);
}
inline BOOL WriteFile(HANDLE file, const void* buffer, DWORD to_write, DWORD* written,
                      void* overlapped) {
  return g_platform.WriteFile(file, buffer, to_write, written, overlapped);
}
inline BOOL CloseHandle(HANDLE handle) { return g_platform.CloseHandle(handle); }
inline DWORD GetFileAttributesW(const WCHAR* name) { return g_platform.GetFileAttributesW(name); }
inline BOOL SetFileAttributesW(const WCHAR* name, DWORD attributes) {
  return g_platform.SetFileAttributesW(name, attributes);
}
inline BOOL DeleteFileW(const WCHAR* name) { return g_platform.DeleteFileW(name); }
inline BOOL MoveFileExW(const WCHAR* existing, const WCHAR* new_name, DWORD flags) {
  return g_platform.MoveFileExW(existing, new_name, flags);
}
inline HANDLE FindFirstFileW(const WCHAR* pattern, WIN32_FIND_DATAW* data) {
  return g_platform.FindFirstFileW(pattern, data);
}
inline BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data) {
  return g_platform.FindNextFileW(find, data);
}
inline BOOL FindClose(HANDLE find) { return g_platform.FindClose(find); }
inline int32_t SHCreateDirectoryExW(HWND owner, const WCHAR* path, SECURITY_ATTRIBUTES* sa) {
  return g_platform.SHCreateDirectoryExW(owner, path, sa);
}

inline DWORD GetModuleFileNameW(void* module, WCHAR* buffer, DWORD size) {
  return g_platform.GetModuleFileNameW(module, buffer, size);
}
inline BOOL CreateProcessW(const WCHAR* application, WCHAR* command_line,
                           SECURITY_ATTRIBUTES* process_sa, SECURITY_ATTRIBUTES* thread_sa,
                           BOOL inherit_handles, DWORD creation_flags, void* environment,
                           const WCHAR* current_directory, STARTUPINFOW* startup,
                           PROCESS_INFORMATION* info) {
  return g_platform.CreateProcessW(application, command_line, process_sa, thread_sa,
                                   inherit_handles, creation_flags, environment,
                                   current_directory, startup, info);
}
inline BOOL CreatePipe(HANDLE* read_end, HANDLE* write_end, SECURITY_ATTRIBUTES* sa, DWORD size) {
  return g_platform.CreatePipe(read_end, write_end, sa, size);
}
inline BOOL SetHandleInformation(HANDLE handle, DWORD mask, DWORD flags) {
  return g_platform.SetHandleInformation(handle, mask, flags);
}
inline BOOL PeekNamedPipe(HANDLE pipe, void* buffer, DWORD size, DWORD* read, DWORD* available,
                          DWORD* left_in_message) {
  return g_platform.PeekNamedPipe(pipe, buffer, size, read, available, left_in_message);
}
inline DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  return g_platform.WaitForSingleObject(handle, milliseconds);
}
inline DWORD GetConsoleProcessList(DWORD* list, DWORD count) {
  return g_platform.GetConsoleProcessList(list, count);
}

inline int32_t MultiByteToWideChar(DWORD code_page, DWORD flags, const char* text, int32_t length,
                                   WCHAR* out, int32_t out_size) {
  return g_platform.MultiByteToWideChar(code_page, flags, text, length, out, out_size);
}
inline int32_t WideCharToMultiByte(DWORD code_page, DWORD flags, const WCHAR* text,
                                   int32_t length, char* out, int32_t out_size,
                                   const char* default_char, BOOL* used_default) {
  return g_platform.WideCharToMultiByte(code_page, flags, text, length, out, out_size,
                                        default_char, used_default);
}

inline int32_t MessageBoxW(HWND owner, const WCHAR* text, const WCHAR* caption, DWORD type) {
  return g_platform.MessageBoxW(owner, text, caption, type);
}
inline BOOL GetOpenFileNameW(OPENFILENAMEW* ofn) { return g_platform.GetOpenFileNameW(ofn); }
inline HWND CreateWindowExW(DWORD ex_style, const WCHAR* class_name, const WCHAR* window_name,
                            DWORD style, int32_t x, int32_t y, int32_t width, int32_t height,
                            HWND parent, void* menu, void* instance, void* param) {
  return g_platform.CreateWindowExW(ex_style, class_name, window_name, style, x, y, width, height,
                                    parent, menu, instance, param);
}
inline intptr_t SendMessageW(HWND window, DWORD message, uintptr_t wparam, intptr_t lparam) {
  return g_platform.SendMessageW(window, message, wparam, lparam);
}
inline BOOL SetWindowTextW(HWND window, const WCHAR* text) {
  return g_platform.SetWindowTextW(window, text);
}
inline BOOL UpdateWindow(HWND window) { return g_platform.UpdateWindow(window); }
inline BOOL DestroyWindow(HWND window) { return g_platform.DestroyWindow(window); }
inline BOOL PeekMessageW(MSG* msg, HWND window, DWORD filter_min, DWORD filter_max, DWORD remove) {
  return g_platform.PeekMessageW(msg, window, filter_min, filter_max, remove);
}
inline intptr_t DispatchMessageW(const MSG* msg) { return g_platform.DispatchMessageW(msg); }
inline int32_t GetSystemMetrics(int32_t index) { return g_platform.GetSystemMetrics(index); }
inline void* GetStockObject(int32_t object) { return g_platform.GetStockObject(object); }
inline WCHAR** CommandLineToArgvW(const WCHAR* command_line, int32_t* count) {
  return g_platform.CommandLineToArgvW(command_line, count);
}
