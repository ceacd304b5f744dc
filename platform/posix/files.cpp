// Files, attributes, listings and directory chains with Windows semantics.
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/posix/errors.h"
#include "platform/posix/handles.h"
#include "platform/posix/posix_ops.h"
#include "platform/posix/text.h"

namespace {

PfHandle const kInvalid = kPfInvalidHandle;

bool ReadOnlyMode(mode_t mode) { return (mode & 0222) == 0; }

uint32_t AttributesOf(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return FILE_ATTRIBUTE_DIRECTORY | (ReadOnlyMode(st.st_mode) ? FILE_ATTRIBUTE_READONLY : 0);
  return ReadOnlyMode(st.st_mode) ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL;
}

// Windows refuses paths of MAX_PATH (260) units or more, and folders that
// leave no room for an 8.3 name below them (248 or more), unless a path
// carries the long-path prefix, which the launcher never uses.
constexpr size_t kMaxPathUnits = 260;
constexpr size_t kMaxFolderUnits = 248;

size_t Units(const PfChar* text) {
  size_t n = 0;
  while (text[n]) ++n;
  return n;
}

bool PathFits(const PfChar* path) { return path != nullptr && Units(path) < kMaxPathUnits; }

// Sharing, as Windows checks it against every handle open on a file, in this
// process or another: each file handle holds shared locks on bytes far past
// any file's end (open file description locks, which also conflict between
// two handles of one process), one byte for each kind of access it has and
// one for each kind it does not share. An open is refused when some handle
// denies an access it asks for, or has an access it does not share.
enum AccessKind { kReadKind, kWriteKind, kDeleteKind, kKinds };
constexpr off_t kLockBase = off_t{1} << 60;
off_t HasByte(int kind) { return kLockBase + kind; }
off_t DeniesByte(int kind) { return kLockBase + kKinds + kind; }

struct flock Bytes(short type, off_t first, off_t count) {
  struct flock l{};
  l.l_type = type;
  l.l_whence = SEEK_SET;
  l.l_start = first;
  l.l_len = count;
  return l;
}

// Asks `command` of each run of neighbouring bytes marked in `bytes` (past
// kLockBase): one call a run rather than one a byte, since opens are common.
bool EachRun(int fd, int command, short type, const bool* bytes) {
  for (off_t i = 0; i < 2 * kKinds;) {
    off_t run = 0;
    while (i + run < 2 * kKinds && bytes[i + run]) ++run;
    if (run == 0) {
      ++i;
      continue;
    }
    struct flock l = Bytes(type, kLockBase + i, run);
    if (fcntl(fd, command, &l) != 0) return false;
    // A query finds any lock others hold in the run: every byte of it counts.
    if (command == F_OFD_GETLK && l.l_type != F_UNLCK) return false;
    i += run;
  }
  return true;
}

// Checks `access` and `share` against the file's other handles and takes the
// new handle's locks on `fd` (which must be open for reading).
bool TakeShare(int fd, uint32_t access, uint32_t share) {
  bool has[kKinds] = {(access & GENERIC_READ) != 0,
                      (access & (GENERIC_WRITE | FILE_APPEND_DATA)) != 0,
                      (access & DELETE) != 0};
  bool shares[kKinds] = {(share & FILE_SHARE_READ) != 0, (share & FILE_SHARE_WRITE) != 0,
                         (share & FILE_SHARE_DELETE) != 0};
  // What others must not hold, and what this handle holds itself.
  bool refused[2 * kKinds], held[2 * kKinds];
  for (int kind = 0; kind < kKinds; ++kind) {
    refused[HasByte(kind) - kLockBase] = !shares[kind];
    refused[DeniesByte(kind) - kLockBase] = has[kind];
    held[HasByte(kind) - kLockBase] = has[kind];
    held[DeniesByte(kind) - kLockBase] = !shares[kind];
  }
  return EachRun(fd, F_OFD_GETLK, F_WRLCK, refused) && EachRun(fd, F_OFD_SETLK, F_RDLCK, held);
}

}  // namespace

PfHandle Posix_CreateFileW(const PfChar* name, uint32_t access, uint32_t share,
                           PfSecurityAttributes* sa, uint32_t disposition, uint32_t, PfHandle) {
  if (!PathFits(name)) return Failed(ERROR_FILENAME_EXCED_RANGE, kInvalid);
  // The device namespace, \\.\PATH, as Windows opens \\.\D: for a drive's
  // sectors: here PATH is a device (an optical drive's block device) or a
  // file standing in for one, opened for reading only.
  bool device = name[0] == u'\\' && name[1] == u'\\' && name[2] == u'.' && name[3] == u'\\';
  if (device) name += 4;
  std::string path = PosixPath(name);
  if (path.empty()) return Failed(ERROR_INVALID_NAME, kInvalid);
  bool writes = (access & (GENERIC_WRITE | FILE_APPEND_DATA)) != 0;
  int flags = O_CLOEXEC | O_NONBLOCK;
  if (writes && (access & GENERIC_READ)) {
    flags |= O_RDWR;
  } else if (writes) {
    flags |= O_WRONLY;
  } else {
    flags |= O_RDONLY;
  }
  if ((access & FILE_APPEND_DATA) && !(access & GENERIC_WRITE)) flags |= O_APPEND;
  struct stat st;
  bool exists = stat(path.c_str(), &st) == 0;
  if (!exists && errno != ENOENT) return FailedErrno(kInvalid);
  // Only files are files: a path on Windows never names a FIFO, a socket or
  // a device, and opening one here could block for ever. Folders and these
  // are refused as Windows refuses a folder.
  bool block = device && exists && S_ISBLK(st.st_mode);
  if (device && (access & ~GENERIC_READ) != 0) return Failed(ERROR_ACCESS_DENIED, kInvalid);
  if (exists && !S_ISREG(st.st_mode) && !block) return Failed(ERROR_ACCESS_DENIED, kInvalid);
  bool truncate = false;
  switch (disposition) {
    case CREATE_NEW:
      if (exists) return Failed(ERROR_FILE_EXISTS, kInvalid);
      flags |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      flags |= O_CREAT;
      truncate = exists;
      break;
    case OPEN_EXISTING:
      if (!exists) return Failed(ERROR_FILE_NOT_FOUND, kInvalid);
      break;
    case OPEN_ALWAYS:
      flags |= O_CREAT;
      break;
    default:
      return Failed(ERROR_INVALID_PARAMETER, kInvalid);
  }
  // The read-only attribute refuses writers even to root, as on Windows.
  if (exists && ReadOnlyMode(st.st_mode) && writes) return Failed(ERROR_ACCESS_DENIED, kInvalid);
  if (truncate && !writes) return Failed(ERROR_ACCESS_DENIED, kInvalid);
  // Sharing locks need a descriptor open for reading, so a writer that may
  // not read is opened for both and refused reads here instead. A file we
  // may write but not read at all goes without sharing checks.
  bool write_only = (flags & O_ACCMODE) == O_WRONLY;
  int fd = write_only ? open(path.c_str(), (flags & ~O_ACCMODE) | O_RDWR, 0644) : -1;
  bool lockable = fd >= 0;
  if (fd < 0 && (!write_only || errno == EACCES)) {
    fd = open(path.c_str(), flags, 0644);
    lockable = !write_only;
  }
  // A drive without a disc (or with its tray open) is not ready.
  if (fd < 0) return errno == ENOMEDIUM ? Failed(ERROR_NOT_READY, kInvalid) : FailedErrno(kInvalid);
  // What was opened is a file still (the path may have changed since it was
  // looked at: the open did not block, and now the descriptor may).
  struct stat opened;
  if (fstat(fd, &opened) != 0 || !(S_ISREG(opened.st_mode) || (block && S_ISBLK(opened.st_mode))) ||
      fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    close(fd);
    return Failed(ERROR_ACCESS_DENIED, kInvalid);
  }
  if (lockable && !TakeShare(fd, access, share)) {
    close(fd);
    return Failed(ERROR_SHARING_VIOLATION, kInvalid);
  }
  if (truncate && ftruncate(fd, 0) != 0) {
    SetPosixLastError(WindowsErrorOf(errno));
    close(fd);
    return kInvalid;
  }
  PosixHandle* h = new PosixHandle{PosixKind::kFile};
  h->fd = fd;
  h->refuses_reads = write_only;
  h->inheritable = sa != nullptr && sa->bInheritHandle;
  SetPosixLastError(exists && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS)
                        ? ERROR_ALREADY_EXISTS
                        : ERROR_SUCCESS);
  return h;
}

PfBool Posix_SetFilePointerEx(PfHandle file, int64_t distance, int64_t* new_position,
                              uint32_t method) {
  PosixHandle* h = AsPosix(file);
  if (!h || h->kind != PosixKind::kFile) return Failed(ERROR_INVALID_HANDLE, 0);
  if (method > FILE_END) return Failed(ERROR_INVALID_PARAMETER, 0);
  static const int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  off_t at = lseek(h->fd, static_cast<off_t>(distance), kWhence[method]);
  if (at < 0) return FailedErrno(0);
  if (new_position) *new_position = at;
  return 1;
}

PfBool Posix_ReadFile(PfHandle file, void* buffer, uint32_t to_read, uint32_t* read_count, void*) {
  PosixHandle* h = AsPosix(file);
  if (read_count) *read_count = 0;
  if (!h || (h->kind != PosixKind::kFile && h->kind != PosixKind::kPipe)) {
    return Failed(ERROR_INVALID_HANDLE, 0);
  }
  if (h->refuses_reads) return Failed(ERROR_ACCESS_DENIED, 0);
  ssize_t n;
  do {
    n = read(h->fd, buffer, to_read);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return FailedErrno(0);
  // A pipe whose writers are all gone reports a broken pipe, as on Windows.
  if (n == 0 && to_read > 0 && h->kind == PosixKind::kPipe) return Failed(ERROR_BROKEN_PIPE, 0);
  if (read_count) *read_count = static_cast<uint32_t>(n);
  return 1;
}

PfBool Posix_WriteFile(PfHandle file, const void* buffer, uint32_t to_write, uint32_t* written,
                       void*) {
  PosixHandle* h = AsPosix(file);
  if (written) *written = 0;
  if (!h || (h->kind != PosixKind::kFile && h->kind != PosixKind::kPipe)) {
    return Failed(ERROR_INVALID_HANDLE, 0);
  }
  const char* p = static_cast<const char*>(buffer);
  uint32_t done = 0;
  while (done < to_write) {
    ssize_t n = write(h->fd, p + done, to_write - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (written) *written = done;
      // A write that takes nothing, without an error, is a full disk.
      return n == 0 ? Failed(ERROR_DISK_FULL, 0) : FailedErrno(0);
    }
    done += static_cast<uint32_t>(n);
  }
  if (written) *written = done;
  return 1;
}

uint32_t Posix_GetFileAttributesW(const PfChar* name) {
  if (!PathFits(name)) return Failed(ERROR_FILENAME_EXCED_RANGE, INVALID_FILE_ATTRIBUTES);
  struct stat st;
  if (stat(PosixPath(name).c_str(), &st) != 0) return FailedErrno(INVALID_FILE_ATTRIBUTES);
  return AttributesOf(st);
}

PfBool Posix_SetFileAttributesW(const PfChar* name, uint32_t attributes) {
  if (!PathFits(name)) return Failed(ERROR_FILENAME_EXCED_RANGE, 0);
  std::string path = PosixPath(name);
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return FailedErrno(0);
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~mode_t{0222}) : (mode | S_IWUSR);
  return chmod(path.c_str(), mode) == 0 ? 1 : FailedErrno(0);
}

PfBool Posix_DeleteFileW(const PfChar* name) {
  if (!PathFits(name)) return Failed(ERROR_FILENAME_EXCED_RANGE, 0);
  std::string path = PosixPath(name);
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return FailedErrno(0);
  if (S_ISDIR(st.st_mode)) return Failed(ERROR_ACCESS_DENIED, 0);
  if (!S_ISLNK(st.st_mode) && ReadOnlyMode(st.st_mode)) return Failed(ERROR_ACCESS_DENIED, 0);
  // A handle open without sharing deletion keeps the file.
  int fd = S_ISLNK(st.st_mode) ? -1 : open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct flock l = Bytes(F_WRLCK, DeniesByte(kDeleteKind), 1);
  bool held = fd >= 0 && fcntl(fd, F_OFD_GETLK, &l) == 0 && l.l_type != F_UNLCK;
  if (fd >= 0) close(fd);
  if (held) return Failed(ERROR_SHARING_VIOLATION, 0);
  return unlink(path.c_str()) == 0 ? 1 : FailedErrno(0);
}

// Files only, as the tool uses it. Without MOVEFILE_REPLACE_EXISTING an
// existing target is never replaced, checked and moved in one step.
PfBool Posix_MoveFileExW(const PfChar* existing, const PfChar* new_name, uint32_t flags) {
  if (!PathFits(existing) || !PathFits(new_name)) return Failed(ERROR_FILENAME_EXCED_RANGE, 0);
  std::string from = PosixPath(existing);
  std::string to = PosixPath(new_name);
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) return FailedErrno(0);
  if (S_ISDIR(st.st_mode)) return Failed(ERROR_ACCESS_DENIED, 0);
  bool moved = (flags & MOVEFILE_REPLACE_EXISTING) != 0
                   ? rename(from.c_str(), to.c_str()) == 0
                   : renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
  if (moved) return 1;
  return errno == EEXIST ? Failed(ERROR_ALREADY_EXISTS, 0) : FailedErrno(0);
}

namespace {

bool NextMatch(PosixHandle* h, PfFindData* data) {
  while (dirent* e = readdir(h->dir)) {
    if (fnmatch(h->pattern.c_str(), e->d_name, 0) != 0) continue;
    std::memset(data, 0, sizeof *data);
    struct stat st;
    // Looked up in the open folder: one name to resolve, not the whole path
    // again for every entry (the installed-data check lists on every start).
    if (fstatat(dirfd(h->dir), e->d_name, &st, 0) == 0) {
      data->dwFileAttributes = AttributesOf(st);
      uint64_t size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
      data->nFileSizeHigh = static_cast<uint32_t>(size >> 32);
      data->nFileSizeLow = static_cast<uint32_t>(size);
    } else {
      data->dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    }
    std::u16string wide = WideFromUtf8(e->d_name);
    size_t n = wide.size() < 259 ? wide.size() : 259;
    std::memcpy(data->cFileName, wide.data(), n * sizeof(PfChar));
    data->cFileName[n] = 0;
    return true;
  }
  return false;
}

}  // namespace

PfHandle Posix_FindFirstFileW(const PfChar* pattern, PfFindData* data) {
  if (!PathFits(pattern)) return Failed(ERROR_FILENAME_EXCED_RANGE, kInvalid);
  std::string path = PosixPath(pattern);
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? std::string(".")
                       : slash == 0                ? std::string("/")
                                                   : path.substr(0, slash);
  std::string match = slash == std::string::npos ? path : path.substr(slash + 1);
  if (match.empty()) return Failed(ERROR_FILE_NOT_FOUND, kInvalid);
  DIR* dir = opendir(folder.c_str());
  if (!dir) return FailedErrno(kInvalid);
  PosixHandle* h = new PosixHandle{PosixKind::kFind};
  h->dir = dir;
  h->pattern = match;
  if (!NextMatch(h, data)) {
    closedir(dir);
    delete h;
    return Failed(ERROR_FILE_NOT_FOUND, kInvalid);
  }
  return h;
}

PfBool Posix_FindNextFileW(PfHandle find, PfFindData* data) {
  PosixHandle* h = AsPosix(find);
  if (!h || h->kind != PosixKind::kFind) return 0;
  return NextMatch(h, data) ? 1 : 0;
}

PfBool Posix_FindClose(PfHandle find) {
  PosixHandle* h = AsPosix(find);
  if (!h || h->kind != PosixKind::kFind) return 0;
  closedir(h->dir);
  delete h;
  return 1;
}

PfBool Posix_CreateDirectoryW(const PfChar* path, PfSecurityAttributes*) {
  if (path == nullptr || Units(path) >= kMaxFolderUnits) {
    return Failed(ERROR_FILENAME_EXCED_RANGE, 0);
  }
  if (mkdir(PosixPath(path).c_str(), 0755) == 0) return 1;
  return errno == EEXIST ? Failed(ERROR_ALREADY_EXISTS, 0)
         : errno == ENOENT ? Failed(ERROR_PATH_NOT_FOUND, 0)
                           : FailedErrno(0);
}

int32_t Posix_SHCreateDirectoryExW(PfWindow, const PfChar* path_text, PfSecurityAttributes*) {
  std::string path = PosixPath(path_text);
  if (path.empty() || path[0] != '/') return ERROR_BAD_PATHNAME;  // full paths only
  struct stat st;
  if (Units(path_text) < kMaxFolderUnits && stat(path.c_str(), &st) == 0) {
    return S_ISDIR(st.st_mode) ? ERROR_ALREADY_EXISTS : ERROR_FILE_EXISTS;
  }
  // Each folder of the chain in turn, as Windows makes them: those that fit
  // are made before one that does not is refused.
  std::u16string wide(path_text);
  for (size_t at = 1; at <= wide.size(); ++at) {
    if (at < wide.size() && wide[at] != u'\\' && wide[at] != u'/') continue;
    if (at >= kMaxFolderUnits) return ERROR_FILENAME_EXCED_RANGE;
    std::string part = PosixPath(wide.substr(0, at).c_str());
    if (stat(part.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) return ERROR_PATH_NOT_FOUND;
      continue;
    }
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
      return errno == ENOENT ? ERROR_PATH_NOT_FOUND : static_cast<int32_t>(WindowsErrorOf(errno));
    }
  }
  return ERROR_SUCCESS;
}

PfBool Posix_GetDiskFreeSpaceExW(const PfChar* folder, uint64_t* free_to_caller, uint64_t* total,
                                 uint64_t* total_free) {
  if (!PathFits(folder)) return Failed(ERROR_FILENAME_EXCED_RANGE, 0);
  struct statvfs vfs;
  if (statvfs(PosixPath(folder).c_str(), &vfs) != 0) return FailedErrno(0);
  uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
  if (free_to_caller) *free_to_caller = uint64_t{vfs.f_bavail} * unit;
  if (total) *total = uint64_t{vfs.f_blocks} * unit;
  if (total_free) *total_free = uint64_t{vfs.f_bfree} * unit;
  return 1;
}
