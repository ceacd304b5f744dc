// Named mutexes as lock files: a launcher holds its mutex open for its whole
// run, and the name exists, as on Windows, while some process holds it. Each
// holder keeps an exclusive lock on the file, so a second one finds it taken
// and gets ERROR_ALREADY_EXISTS, with a handle, as Windows answers. The lock
// goes with the process however it ends.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/posix/errors.h"
#include "platform/posix/handles.h"
#include "platform/posix/posix_ops.h"
#include "platform/posix/text.h"

PfHandle Posix_CreateMutexW(PfSecurityAttributes*, PfBool, const PfChar* name) {
  if (name == nullptr || name[0] == 0) return Failed(ERROR_INVALID_NAME, PfHandle{nullptr});
  // "Local\" names are one user's: the user's runtime folder, or the user's
  // own names in the shared temporary folder.
  std::string file = Utf8FromWide(name);
  for (char& c : file) c = c == '/' || c == '\\' ? '_' : c;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  char path[4096];
  if (runtime != nullptr && runtime[0] == '/') {
    std::snprintf(path, sizeof path, "%s/%s.lock", runtime, file.c_str());
  } else {
    std::snprintf(path, sizeof path, "/tmp/%u-%s.lock", static_cast<unsigned>(getuid()),
                  file.c_str());
  }
  int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return FailedErrno(PfHandle{nullptr});
  bool taken = false;
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      SetPosixLastError(WindowsErrorOf(errno));
      close(fd);
      return nullptr;
    }
    taken = true;
    break;
  }
  PosixHandle* h = new PosixHandle{PosixKind::kMutex};
  h->fd = fd;
  SetPosixLastError(taken ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return h;
}
