// The operations the launcher needs from the system, as one table of function
// pointers. The build fills it with the win32 or the posix implementation;
// tests wrap it to count calls, inject faults and script the user's answers.
//
// This header is included by both sides of the boundary: by the logic (through
// platform.h) and by the implementations next to windows.h or POSIX headers. It
// therefore uses only fixed-width types and records laid out exactly as their
// Windows counterparts on x86-64, so the win32 side can pass them straight on.
#pragma once

#include <cstddef>
#include <cstdint>

using PfChar = char16_t;  // one UTF-16 code unit, as Windows' WCHAR
using PfHandle = void*;
using PfWindow = void*;
using PfBool = int32_t;

struct PfSecurityAttributes {  // SECURITY_ATTRIBUTES
  uint32_t nLength;
  void* lpSecurityDescriptor;
  PfBool bInheritHandle;
};

struct PfStartupInfo {  // STARTUPINFOW
  uint32_t cb;
  PfChar* lpReserved;
  PfChar* lpDesktop;
  PfChar* lpTitle;
  uint32_t dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars;
  uint32_t dwFillAttribute;
  uint32_t dwFlags;
  uint16_t wShowWindow;
  uint16_t cbReserved2;
  uint8_t* lpReserved2;
  PfHandle hStdInput;
  PfHandle hStdOutput;
  PfHandle hStdError;
};

struct PfProcessInformation {  // PROCESS_INFORMATION
  PfHandle hProcess;
  PfHandle hThread;
  uint32_t dwProcessId;
  uint32_t dwThreadId;
};

struct PfFileTime {
  uint32_t dwLowDateTime;
  uint32_t dwHighDateTime;
};

struct PfFindData {  // WIN32_FIND_DATAW
  uint32_t dwFileAttributes;
  PfFileTime ftCreationTime;
  PfFileTime ftLastAccessTime;
  PfFileTime ftLastWriteTime;
  uint32_t nFileSizeHigh;
  uint32_t nFileSizeLow;
  uint32_t dwReserved0;
  uint32_t dwReserved1;
  PfChar cFileName[260];
  PfChar cAlternateFileName[14];
};

struct PfOpenFileName {  // OPENFILENAMEW
  uint32_t lStructSize;
  PfWindow hwndOwner;
  void* hInstance;
  const PfChar* lpstrFilter;
  PfChar* lpstrCustomFilter;
  uint32_t nMaxCustFilter;
  uint32_t nFilterIndex;
  PfChar* lpstrFile;
  uint32_t nMaxFile;
  PfChar* lpstrFileTitle;
  uint32_t nMaxFileTitle;
  const PfChar* lpstrInitialDir;
  const PfChar* lpstrTitle;
  uint32_t Flags;
  uint16_t nFileOffset;
  uint16_t nFileExtension;
  const PfChar* lpstrDefExt;
  intptr_t lCustData;
  void* lpfnHook;
  const PfChar* lpTemplateName;
  void* pvReserved;
  uint32_t dwReserved;
  uint32_t FlagsEx;
};

struct PfPoint {
  int32_t x, y;
};

struct PfMsg {  // MSG
  PfWindow hwnd;
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
  uint32_t time;
  PfPoint pt;
  uint32_t lPrivate;
};

static_assert(sizeof(void*) != 8 || sizeof(PfOpenFileName) == 152, "OPENFILENAMEW layout");
static_assert(sizeof(void*) != 8 || sizeof(PfStartupInfo) == 104, "STARTUPINFOW layout");
static_assert(sizeof(void*) != 8 || sizeof(PfFindData) == 592, "WIN32_FIND_DATAW layout");
static_assert(sizeof(void*) != 8 || sizeof(PfMsg) == 48, "MSG layout");

inline PfHandle const kPfInvalidHandle = reinterpret_cast<PfHandle>(intptr_t{-1});

// A console control handler (PHANDLER_ROUTINE): called on a thread of its own
// with the event (Ctrl+C, the console closed, ...); non-zero when handled.
using PfCtrlHandler = PfBool (*)(uint32_t ctrl_type);

// The operations the product uses, listed once, with their Windows names and
// signatures over the types above:
//   X(result type, name, (parameters), (arguments), value reporting failure)
// Return conventions are Windows': BOOL non-zero on success, the invalid
// handle value or a null handle on failure, as each operation documents.
// Everything else (the table, the call wrappers, the fake's forwarders, the
// names) is made from this list.
#define HV_PLATFORM_OPERATIONS(X)                                                               \
  /* Files */                                                                                   \
  X(PfHandle, CreateFileW,                                                                      \
    (const PfChar* name, uint32_t access, uint32_t share, PfSecurityAttributes* sa,             \
     uint32_t disposition, uint32_t flags, PfHandle template_file),                             \
    (name, access, share, sa, disposition, flags, template_file), kPfInvalidHandle)             \
  X(PfBool, SetFilePointerEx,                                                                   \
    (PfHandle file, int64_t distance, int64_t* new_position, uint32_t method),                  \
    (file, distance, new_position, method), 0)                                                  \
  X(PfBool, ReadFile,                                                                           \
    (PfHandle file, void* buffer, uint32_t to_read, uint32_t* read, void* overlapped),          \
    (file, buffer, to_read, read, overlapped), 0)                                               \
  X(PfBool, WriteFile,                                                                          \
    (PfHandle file, const void* buffer, uint32_t to_write, uint32_t* written, void* overlapped), \
    (file, buffer, to_write, written, overlapped), 0)                                           \
  X(PfBool, CloseHandle, (PfHandle handle), (handle), 0)                                        \
  X(uint32_t, GetFileAttributesW, (const PfChar* name), (name), 0xFFFFFFFFu)                    \
  X(PfBool, SetFileAttributesW, (const PfChar* name, uint32_t attributes), (name, attributes),  \
    0)                                                                                          \
  X(PfBool, DeleteFileW, (const PfChar* name), (name), 0)                                       \
  X(PfBool, MoveFileExW, (const PfChar* existing, const PfChar* new_name, uint32_t flags),      \
    (existing, new_name, flags), 0)                                                             \
  X(PfHandle, FindFirstFileW, (const PfChar* pattern, PfFindData* data), (pattern, data),       \
    kPfInvalidHandle)                                                                           \
  X(PfBool, FindNextFileW, (PfHandle find, PfFindData* data), (find, data), 0)                  \
  X(PfBool, FindClose, (PfHandle find), (find), 0)                                              \
  X(PfBool, CreateDirectoryW, (const PfChar* path, PfSecurityAttributes* sa), (path, sa), 0)  \
  X(int32_t, SHCreateDirectoryExW,                                                              \
    (PfWindow owner, const PfChar* path, PfSecurityAttributes* sa), (owner, path, sa),          \
    5 /* ERROR_ACCESS_DENIED */)                                                                \
  X(PfBool, GetDiskFreeSpaceExW,                                                                \
    (const PfChar* folder, uint64_t* free_to_caller, uint64_t* total, uint64_t* total_free),    \
    (folder, free_to_caller, total, total_free), 0)                                             \
  /* Drives, and time for progress */                                                          \
  X(uint32_t, GetLogicalDriveStringsW, (uint32_t size, PfChar* buffer), (size, buffer), 0)      \
  X(uint32_t, GetDriveTypeW, (const PfChar* root), (root), 1 /* DRIVE_NO_ROOT_DIR */)          \
  X(uint64_t, GetTickCount64, (), (), 0)                                                        \
  /* Why the last call failed */                                                                \
  X(uint32_t, GetLastError, (), (), 0)                                                          \
  /* The lock that keeps one launcher a release folder */                                       \
  X(PfHandle, CreateMutexW, (PfSecurityAttributes* sa, PfBool initial_owner, const PfChar* name), \
    (sa, initial_owner, name), nullptr)                                                         \
  /* Processes and pipes */                                                                     \
  X(uint32_t, GetModuleFileNameW, (void* module, PfChar* buffer, uint32_t size),                \
    (module, buffer, size), 0)                                                                  \
  X(PfBool, CreateProcessW,                                                                     \
    (const PfChar* application, PfChar* command_line, PfSecurityAttributes* process_sa,         \
     PfSecurityAttributes* thread_sa, PfBool inherit_handles, uint32_t creation_flags,          \
     void* environment, const PfChar* current_directory, PfStartupInfo* startup,                \
     PfProcessInformation* info),                                                               \
    (application, command_line, process_sa, thread_sa, inherit_handles, creation_flags,         \
     environment, current_directory, startup, info),                                            \
    0)                                                                                          \
  X(PfBool, CreatePipe,                                                                         \
    (PfHandle* read_end, PfHandle* write_end, PfSecurityAttributes* sa, uint32_t size),         \
    (read_end, write_end, sa, size), 0)                                                         \
  X(PfBool, SetHandleInformation, (PfHandle handle, uint32_t mask, uint32_t flags),             \
    (handle, mask, flags), 0)                                                                   \
  X(PfBool, PeekNamedPipe,                                                                      \
    (PfHandle pipe, void* buffer, uint32_t size, uint32_t* read, uint32_t* available,           \
     uint32_t* left_in_message),                                                                \
    (pipe, buffer, size, read, available, left_in_message), 0)                                  \
  X(uint32_t, WaitForSingleObject, (PfHandle handle, uint32_t milliseconds),                    \
    (handle, milliseconds), 0xFFFFFFFFu /* WAIT_FAILED */)                                      \
  /* The processes sharing this console */                                                      \
  X(uint32_t, GetConsoleProcessList, (uint32_t* list, uint32_t count), (list, count), 0)        \
  X(PfBool, SetConsoleCtrlHandler, (PfCtrlHandler handler, PfBool add), (handler, add), 0)     \
  /* Text conversion */                                                                         \
  X(int32_t, MultiByteToWideChar,                                                               \
    (uint32_t code_page, uint32_t flags, const char* text, int32_t length, PfChar* out,         \
     int32_t out_size),                                                                         \
    (code_page, flags, text, length, out, out_size), 0)                                         \
  X(int32_t, WideCharToMultiByte,                                                               \
    (uint32_t code_page, uint32_t flags, const PfChar* text, int32_t length, char* out,         \
     int32_t out_size, const char* default_char, PfBool* used_default),                         \
    (code_page, flags, text, length, out, out_size, default_char, used_default), 0)             \
  /* User interface */                                                                          \
  X(int32_t, MessageBoxW,                                                                       \
    (PfWindow owner, const PfChar* text, const PfChar* caption, uint32_t type),                 \
    (owner, text, caption, type), 0)                                                            \
  X(PfBool, GetOpenFileNameW, (PfOpenFileName* ofn), (ofn), 0)                                  \
  X(PfWindow, CreateWindowExW,                                                                  \
    (uint32_t ex_style, const PfChar* class_name, const PfChar* window_name, uint32_t style,    \
     int32_t x, int32_t y, int32_t width, int32_t height, PfWindow parent, void* menu,          \
     void* instance, void* param),                                                              \
    (ex_style, class_name, window_name, style, x, y, width, height, parent, menu, instance,     \
     param),                                                                                    \
    nullptr)                                                                                    \
  X(intptr_t, SendMessageW, (PfWindow window, uint32_t message, uintptr_t wparam,               \
                             intptr_t lparam),                                                  \
    (window, message, wparam, lparam), 0)                                                       \
  X(PfBool, SetWindowTextW, (PfWindow window, const PfChar* text), (window, text), 0)           \
  X(PfBool, UpdateWindow, (PfWindow window), (window), 0)                                       \
  X(PfBool, DestroyWindow, (PfWindow window), (window), 0)                                      \
  X(PfBool, PeekMessageW,                                                                       \
    (PfMsg* msg, PfWindow window, uint32_t filter_min, uint32_t filter_max, uint32_t remove),   \
    (msg, window, filter_min, filter_max, remove), 0)                                           \
  X(intptr_t, DispatchMessageW, (const PfMsg* msg), (msg), 0)                                   \
  X(int32_t, GetSystemMetrics, (int32_t index), (index), 0)                                     \
  X(uint32_t, GetDpiForSystem, (), (), 0)                                                       \
  X(uint32_t, GetDpiForWindow, (PfWindow window), (window), 0)                                  \
  X(PfBool, SetWindowPos,                                                                       \
    (PfWindow window, PfWindow insert_after, int32_t x, int32_t y, int32_t width,               \
     int32_t height, uint32_t flags),                                                           \
    (window, insert_after, x, y, width, height, flags), 0)                                      \
  X(void*, GetStockObject, (int32_t object), (object), nullptr)                                 \
  X(PfChar**, CommandLineToArgvW, (const PfChar* command_line, int32_t* count),                 \
    (command_line, count), nullptr)

// The table of operations every call goes through.
struct PlatformOps {
#define HV_OP_FIELD(result, name, parameters, arguments, failure) result(*name) parameters;
  HV_PLATFORM_OPERATIONS(HV_OP_FIELD)
#undef HV_OP_FIELD
};

// The operations by number, and their names, for tests and messages.
enum class PlatformOp : int {
#define HV_OP_ENUM(result, name, parameters, arguments, failure) name,
  HV_PLATFORM_OPERATIONS(HV_OP_ENUM)
#undef HV_OP_ENUM
  kCount
};
const char* PlatformOpName(PlatformOp op);

// The implementation this build was made with (win32 or posix).
const PlatformOps& SystemPlatform();

// The table every call goes through. Starts as the system's; tests replace it.
extern PlatformOps g_platform;
