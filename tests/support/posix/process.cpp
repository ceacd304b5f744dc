#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/posix/handles.h"
#include "platform/posix/text.h"

extern char** environ;

namespace {

int64_t NowMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

}  // namespace

ProgramResult RunProgramToEnd(const PfChar* application, const PfChar* command_line,
                              const PfChar* current_directory, const std::string& input,
                              uint32_t timeout_ms) {
  ProgramResult result{false, 0, {}};
  size_t count = 0;
  std::u16string* words = SplitCommandLine(command_line, &count);
  std::vector<std::string> args;
  for (size_t i = 0; i < count; ++i) args.push_back(Utf8FromWide(words[i].c_str()));
  delete[] words;
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::string program = PosixPath(application);

  int in[2], out[2];
  if (pipe2(in, O_CLOEXEC) != 0) return result;
  if (pipe2(out, O_CLOEXEC) != 0) {
    close(in[0]);
    close(in[1]);
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, out[1], 2);
  std::string cwd;
  if (current_directory) {
    cwd = PosixPath(current_directory);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
  }
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  if (rc != 0) {
    close(in[1]);
    close(out[0]);
    return result;
  }
  result.started = true;
  signal(SIGPIPE, SIG_IGN);
  size_t fed = 0;
  while (fed < input.size()) {
    ssize_t n = write(in[1], input.data() + fed, input.size() - fed);
    if (n <= 0) break;
    fed += static_cast<size_t>(n);
  }
  close(in[1]);
  int64_t deadline = NowMs() + timeout_ms;
  char buffer[4096];
  bool killed = false;
  for (;;) {
    pollfd p{out[0], POLLIN, 0};
    int64_t left = deadline - NowMs();
    if (left <= 0) {
      kill(pid, SIGKILL);
      killed = true;
      break;
    }
    int r = poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) continue;
    ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    result.output.append(buffer, static_cast<size_t>(n));
  }
  close(out[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (killed) {
    result.exit_code = 0xDEAD;
  } else if (WIFEXITED(status)) {
    result.exit_code = static_cast<uint32_t>(WEXITSTATUS(status));
  } else {
    result.exit_code = 128u + static_cast<uint32_t>(WTERMSIG(status));
  }
  return result;
}

void SetTestEnvironment(const char* name, const char* value) {
  if (value) {
    setenv(name, value, 1);
  } else {
    unsetenv(name);
  }
}

uint64_t PeakMemoryBytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<uint64_t>(usage.ru_maxrss) * 1024;  // reported in KiB
}
