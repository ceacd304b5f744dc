// Processes, pipes, waits, the module path, and closing handles.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/posix/handles.h"
#include "platform/posix/posix_ops.h"
#include "platform/posix/text.h"

extern char** environ;

namespace {

bool Reap(struct PosixHandle* h, bool block);

int FdOf(PfHandle handle) {
  PosixHandle* h = AsPosix(handle);
  return h && (h->kind == PosixKind::kFile || h->kind == PosixKind::kPipe) ? h->fd : -1;
}

}  // namespace

PfBool Posix_CloseHandle(PfHandle handle) {
  PosixHandle* h = AsPosix(handle);
  if (!h || h->kind == PosixKind::kFind) return 0;
  if (h->fd >= 0) close(h->fd);
  delete h;
  return 1;
}

uint32_t Posix_GetModuleFileNameW(void*, PfChar* buffer, uint32_t size) {
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0 || size == 0) return 0;
  path[n] = '\0';
  std::u16string wide = WideFromUtf8(path);
  for (char16_t& c : wide) {
    if (c == u'/') c = u'\\';
  }
  if (wide.size() >= size) {
    // Cut, terminated, and the buffer's size returned, as Windows does.
    std::memcpy(buffer, wide.data(), (size - 1) * sizeof(PfChar));
    buffer[size - 1] = 0;
    return size;
  }
  std::memcpy(buffer, wide.c_str(), (wide.size() + 1) * sizeof(PfChar));
  return static_cast<uint32_t>(wide.size());
}

PfBool Posix_CreateProcessW(const PfChar* application, PfChar* command_line,
                            PfSecurityAttributes*, PfSecurityAttributes*, PfBool inherit_handles,
                            uint32_t, void*, const PfChar* current_directory,
                            PfStartupInfo* startup, PfProcessInformation* info) {
  if (!command_line && !application) return 0;
  size_t count = 0;
  std::u16string* words = SplitCommandLine(command_line ? command_line : application, &count);
  // Arguments leave the layer like every other text the logic builds: its
  // paths are Windows-style, so each '\' becomes '/' (the launcher passes
  // only paths and switches).
  std::string program = PosixPath(application ? application : words[0].c_str());
  std::vector<std::string> args;
  for (size_t i = 0; i < count; ++i) args.push_back(PosixPath(words[i].c_str()));
  delete[] words;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  bool std_handles = startup && (startup->dwFlags & STARTF_USESTDHANDLES) && inherit_handles;
  if (std_handles) {
    int in = FdOf(startup->hStdInput), out = FdOf(startup->hStdOutput),
        err = FdOf(startup->hStdError);
    if (in >= 0) {
      posix_spawn_file_actions_adddup2(&actions, in, 0);
    } else {
      posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    if (out >= 0) posix_spawn_file_actions_adddup2(&actions, out, 1);
    if (err >= 0) posix_spawn_file_actions_adddup2(&actions, err, 2);
  } else {
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  }
  std::string cwd;
  if (current_directory) {
    cwd = PosixPath(current_directory);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  }
  // Nothing passes to the child but its standard handles.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  pid_t pid = 0;
  // A program that is missing, not executable or not a program at all fails
  // here: the spawn reports the child's exec error.
  // The child starts with no signal blocked, whatever this thread blocks
  // (console events are waited for on a thread of their own: console.cpp).
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  int rc = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return 0;
  PosixHandle* process = new PosixHandle{PosixKind::kProcess};
  process->pid = pid;
  PosixHandle* thread = new PosixHandle{PosixKind::kThread};
  info->hProcess = process;
  info->hThread = thread;
  info->dwProcessId = static_cast<uint32_t>(pid);
  info->dwThreadId = static_cast<uint32_t>(pid);
  return 1;
}

PfBool Posix_CreatePipe(PfHandle* read_end, PfHandle* write_end, PfSecurityAttributes* sa,
                        uint32_t) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return 0;
  bool inherit = sa != nullptr && sa->bInheritHandle;
  PosixHandle* r = new PosixHandle{PosixKind::kPipe};
  r->fd = fds[0];
  r->inheritable = inherit;
  PosixHandle* w = new PosixHandle{PosixKind::kPipe};
  w->fd = fds[1];
  w->inheritable = inherit;
  *read_end = r;
  *write_end = w;
  return 1;
}

PfBool Posix_SetHandleInformation(PfHandle handle, uint32_t mask, uint32_t flags) {
  PosixHandle* h = AsPosix(handle);
  if (!h) return 0;
  if (mask & HANDLE_FLAG_INHERIT) h->inheritable = (flags & HANDLE_FLAG_INHERIT) != 0;
  return 1;
}

PfBool Posix_PeekNamedPipe(PfHandle pipe, void*, uint32_t, uint32_t* read_count,
                           uint32_t* available, uint32_t* left) {
  PosixHandle* h = AsPosix(pipe);
  if (!h || h->kind != PosixKind::kPipe) return 0;
  int waiting = 0;
  if (ioctl(h->fd, FIONREAD, &waiting) != 0) return 0;
  if (waiting == 0) {
    pollfd p{h->fd, POLLIN, 0};
    // Nothing waits and every writer has gone: the pipe has ended.
    if (poll(&p, 1, 0) > 0 && (p.revents & POLLHUP)) return 0;
  }
  if (read_count) *read_count = 0;
  if (available) *available = static_cast<uint32_t>(waiting);
  if (left) *left = 0;
  return 1;
}

namespace {

bool Reap(PosixHandle* h, bool block) {
  if (h->reaped) return true;
  int status = 0;
  pid_t r;
  do {
    r = waitpid(h->pid, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == h->pid) {
    h->reaped = true;
    h->status = status;
  }
  return h->reaped;
}

}  // namespace

// A terminal always belongs to the shell that started this process as well,
// so the answer is this process and its parent, as a console shared with
// cmd.exe is on Windows.
uint32_t Posix_GetConsoleProcessList(uint32_t* list, uint32_t count) {
  if (list == nullptr || count == 0) return 0;
  list[0] = static_cast<uint32_t>(getpid());
  if (count > 1) list[1] = static_cast<uint32_t>(getppid());
  return 2;
}

uint32_t Posix_WaitForSingleObject(PfHandle handle, uint32_t ms) {
  PosixHandle* h = AsPosix(handle);
  if (!h || h->kind != PosixKind::kProcess) return WAIT_FAILED;
  if (ms == INFINITE) return Reap(h, true) ? WAIT_OBJECT_0 : WAIT_FAILED;
  timespec start;
  clock_gettime(CLOCK_MONOTONIC, &start);
  for (;;) {
    if (Reap(h, false)) return WAIT_OBJECT_0;
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    int64_t elapsed = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1000000;
    if (elapsed >= ms) return WAIT_TIMEOUT;
    timespec nap{0, 1000000};
    nanosleep(&nap, nullptr);
  }
}
