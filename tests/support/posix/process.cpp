#include "tests/support/process.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "platform/platform.h"
#include "platform/posix/handles.h"

uint32_t EndProcess(PfHandle process, bool kill_it) {
  PosixHandle* h = AsPosix(process);
  if (kill_it) kill(h->pid, SIGKILL);
  SystemPlatform().WaitForSingleObject(process, INFINITE);  // reaps it
  if (kill_it) return kTimedOutCode;
  return WIFEXITED(h->status) ? WEXITSTATUS(h->status) : 128u + WTERMSIG(h->status);
}

void SetTestEnvironment(const char* name, const char* value) {
  value ? setenv(name, value, 1) : unsetenv(name);
}

uint64_t PeakMemoryBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<uint64_t>(usage.ru_maxrss) * 1024;  // reported in KiB
}
