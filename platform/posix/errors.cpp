#include "platform/posix/errors.h"

#include <cerrno>

#include "platform/posix/posix_ops.h"

namespace {

thread_local uint32_t t_last_error = ERROR_SUCCESS;

}  // namespace

void SetPosixLastError(uint32_t code) { t_last_error = code; }

uint32_t Posix_GetLastError() { return t_last_error; }

uint32_t WindowsErrorOf(int e) {
  switch (e) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES: case EPERM: case EISDIR: return ERROR_ACCESS_DENIED;
    case EROFS: return ERROR_WRITE_PROTECT;
    case ENOSPC: return ERROR_DISK_FULL;
    case EDQUOT: return ERROR_DISK_FULL;  // the user's share of it
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EMFILE: case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EIO: return ERROR_IO_DEVICE;
    case EBUSY: case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case ENXIO: case ENODEV: return ERROR_DEV_NOT_EXIST;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    default: return ERROR_GEN_FAILURE;
  }
}

template <class T>
T FailedErrno(T result) {
  SetPosixLastError(WindowsErrorOf(errno));
  return result;
}

template PfHandle FailedErrno(PfHandle);
template PfBool FailedErrno(PfBool);
template uint32_t FailedErrno(uint32_t);
