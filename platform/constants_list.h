// The Windows constants the product uses, listed once:
//   X(type, name, value)
// platform/constants.h defines them for the logic and the POSIX layer; the
// win32 layer checks each value against windows.h.
#pragma once

#define HV_WINDOWS_CONSTANTS(X)                                       \
  X(int32_t, TRUE, 1)                                                 \
  X(int32_t, FALSE, 0)                                                \
  /* CreateFileW: access, sharing, dispositions, flags */             \
  X(uint32_t, GENERIC_READ, 0x80000000u)                              \
  X(uint32_t, GENERIC_WRITE, 0x40000000u)                             \
  X(uint32_t, FILE_APPEND_DATA, 0x00000004u)                          \
  X(uint32_t, DELETE, 0x00010000u)                                    \
  X(uint32_t, FILE_SHARE_READ, 0x00000001u)                           \
  X(uint32_t, FILE_SHARE_WRITE, 0x00000002u)                          \
  X(uint32_t, FILE_SHARE_DELETE, 0x00000004u)                         \
  X(uint32_t, CREATE_NEW, 1)                                          \
  X(uint32_t, CREATE_ALWAYS, 2)                                       \
  X(uint32_t, OPEN_EXISTING, 3)                                       \
  X(uint32_t, OPEN_ALWAYS, 4)                                         \
  X(uint32_t, FILE_FLAG_SEQUENTIAL_SCAN, 0x08000000u)                 \
  X(uint32_t, FILE_BEGIN, 0)                                          \
  X(uint32_t, FILE_CURRENT, 1)                                        \
  X(uint32_t, FILE_END, 2)                                            \
  X(uint32_t, MOVEFILE_REPLACE_EXISTING, 0x1)                         \
  /* File attributes */                                               \
  X(uint32_t, FILE_ATTRIBUTE_READONLY, 0x01)                          \
  X(uint32_t, FILE_ATTRIBUTE_DIRECTORY, 0x10)                         \
  X(uint32_t, FILE_ATTRIBUTE_NORMAL, 0x80)                            \
  X(uint32_t, INVALID_FILE_ATTRIBUTES, 0xFFFFFFFFu)                   \
  /* Error codes (GetLastError; SHCreateDirectoryExW returns them) */ \
  X(int32_t, ERROR_SUCCESS, 0)                                        \
  X(int32_t, ERROR_FILE_NOT_FOUND, 2)                                 \
  X(int32_t, ERROR_PATH_NOT_FOUND, 3)                                 \
  X(int32_t, ERROR_TOO_MANY_OPEN_FILES, 4)                            \
  X(int32_t, ERROR_ACCESS_DENIED, 5)                                  \
  X(int32_t, ERROR_INVALID_HANDLE, 6)                                 \
  X(int32_t, ERROR_NOT_ENOUGH_MEMORY, 8)                              \
  X(int32_t, ERROR_WRITE_PROTECT, 19)                                 \
  X(int32_t, ERROR_NOT_READY, 21)                                     \
  X(int32_t, ERROR_CRC, 23)                                           \
  X(int32_t, ERROR_WRITE_FAULT, 29)                                   \
  X(int32_t, ERROR_READ_FAULT, 30)                                    \
  X(int32_t, ERROR_GEN_FAILURE, 31)                                   \
  X(int32_t, ERROR_SHARING_VIOLATION, 32)                             \
  X(int32_t, ERROR_LOCK_VIOLATION, 33)                                \
  X(int32_t, ERROR_HANDLE_EOF, 38)                                    \
  X(int32_t, ERROR_HANDLE_DISK_FULL, 39)                              \
  X(int32_t, ERROR_DEV_NOT_EXIST, 55)                                 \
  X(int32_t, ERROR_NETNAME_DELETED, 64)                               \
  X(int32_t, ERROR_FILE_EXISTS, 80)                                   \
  X(int32_t, ERROR_INVALID_PARAMETER, 87)                             \
  X(int32_t, ERROR_BROKEN_PIPE, 109)                                   \
  X(int32_t, ERROR_DISK_FULL, 112)                                    \
  X(int32_t, ERROR_INVALID_NAME, 123)                                 \
  X(int32_t, ERROR_BAD_PATHNAME, 161)                                 \
  X(int32_t, ERROR_ALREADY_EXISTS, 183)                               \
  X(int32_t, ERROR_FILENAME_EXCED_RANGE, 206)                         \
  X(int32_t, ERROR_DIRECTORY, 267)                                    \
  X(int32_t, ERROR_NO_UNICODE_TRANSLATION, 1113)                      \
  X(int32_t, ERROR_IO_DEVICE, 1117)                                   \
  /* Processes, pipes and waits */                                    \
  X(uint32_t, HANDLE_FLAG_INHERIT, 0x1)                               \
  X(uint32_t, CREATE_NO_WINDOW, 0x08000000u)                          \
  X(uint32_t, STARTF_USESTDHANDLES, 0x100)                            \
  X(uint32_t, INFINITE, 0xFFFFFFFFu)                                  \
  X(uint32_t, WAIT_OBJECT_0, 0)                                       \
  X(uint32_t, WAIT_TIMEOUT, 258)                                      \
  X(uint32_t, WAIT_FAILED, 0xFFFFFFFFu)                               \
  /* Drive types */                                                   \
  X(uint32_t, DRIVE_UNKNOWN, 0)                                       \
  X(uint32_t, DRIVE_NO_ROOT_DIR, 1)                                   \
  X(uint32_t, DRIVE_FIXED, 3)                                         \
  X(uint32_t, DRIVE_CDROM, 5)                                         \
  /* Console control events */                                        \
  X(uint32_t, CTRL_C_EVENT, 0)                                        \
  X(uint32_t, CTRL_BREAK_EVENT, 1)                                    \
  X(uint32_t, CTRL_CLOSE_EVENT, 2)                                    \
  /* Code pages */                                                    \
  X(uint32_t, CP_ACP, 0)                                              \
  X(uint32_t, CP_UTF8, 65001)                                         \
  X(uint32_t, MB_ERR_INVALID_CHARS, 0x8)                              \
  /* Message boxes and their answers */                               \
  X(uint32_t, MB_OK, 0x00)                                            \
  X(uint32_t, MB_OKCANCEL, 0x01)                                      \
  X(uint32_t, MB_YESNO, 0x04)                                         \
  X(uint32_t, MB_ICONERROR, 0x10)                                     \
  X(uint32_t, MB_ICONQUESTION, 0x20)                                  \
  X(uint32_t, MB_ICONWARNING, 0x30)                                   \
  X(uint32_t, MB_ICONINFORMATION, 0x40)                               \
  X(int32_t, IDOK, 1)                                                 \
  X(int32_t, IDCANCEL, 2)                                             \
  X(int32_t, IDYES, 6)                                                \
  X(int32_t, IDNO, 7)                                                 \
  /* The open-file dialog */                                          \
  X(uint32_t, OFN_HIDEREADONLY, 0x00000004u)                          \
  X(uint32_t, OFN_PATHMUSTEXIST, 0x00000800u)                         \
  X(uint32_t, OFN_FILEMUSTEXIST, 0x00001000u)                         \
  /* Windows and messages */                                          \
  X(uint32_t, WS_EX_TOPMOST, 0x00000008u)                             \
  X(uint32_t, WS_EX_TOOLWINDOW, 0x00000080u)                          \
  X(uint32_t, WS_POPUP, 0x80000000u)                                  \
  X(uint32_t, WS_VISIBLE, 0x10000000u)                                \
  X(uint32_t, WS_BORDER, 0x00800000u)                                 \
  X(uint32_t, SS_CENTER, 0x00000001u)                                 \
  X(uint32_t, SS_CENTERIMAGE, 0x00000200u)                            \
  X(uint32_t, WM_SETFONT, 0x0030)                                     \
  X(uint32_t, PM_REMOVE, 0x0001)                                      \
  X(int32_t, SM_CXSCREEN, 0)                                          \
  X(int32_t, SM_CYSCREEN, 1)                                          \
  X(uint32_t, SWP_NOZORDER, 0x0004)                                   \
  X(uint32_t, SWP_NOACTIVATE, 0x0010)                                 \
  X(uint32_t, USER_DEFAULT_SCREEN_DPI, 96)                            \
  X(int32_t, DEFAULT_GUI_FONT, 17)
