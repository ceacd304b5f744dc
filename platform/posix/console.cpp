// Console control events as Windows delivers them, on a thread of their own:
// SIGINT is Ctrl+C, SIGTERM and SIGHUP the console going away (closed, or the
// session ending). The signals are taken from the thread that first sets a
// handler (these programs have one thread) and waited for by the event
// thread, so that a handler may do what any code may, as on Windows, rather
// than only what a signal handler may.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <mutex>
#include <vector>

#include "platform/posix/errors.h"
#include "platform/posix/posix_ops.h"

namespace {

std::mutex g_mutex;
std::vector<PfCtrlHandler> g_handlers;
bool g_watching = false;

sigset_t Events() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  return set;
}

void* WatchEvents(void*) {
  sigset_t set = Events();
  for (;;) {
    int signal_number = 0;
    if (sigwait(&set, &signal_number) != 0) continue;
    uint32_t event = signal_number == SIGINT ? CTRL_C_EVENT : CTRL_CLOSE_EVENT;
    std::vector<PfCtrlHandler> handlers;
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      handlers = g_handlers;
    }
    // The last added is asked first; after a close the process ends anyway.
    bool handled = false;
    for (auto h = handlers.rbegin(); h != handlers.rend() && !handled; ++h) handled = (*h)(event);
    if (!handled || event == CTRL_CLOSE_EVENT) {
      signal(signal_number, SIG_DFL);
      sigset_t one;
      sigemptyset(&one);
      sigaddset(&one, signal_number);
      pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
      raise(signal_number);
      _exit(128 + signal_number);
    }
  }
  return nullptr;
}

}  // namespace

PfBool Posix_SetConsoleCtrlHandler(PfCtrlHandler handler, PfBool add) {
  if (handler == nullptr) return Failed(ERROR_INVALID_PARAMETER, 0);
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_watching) {
    sigset_t set = Events();
    pthread_t thread;
    if (pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0 ||
        pthread_create(&thread, nullptr, WatchEvents, nullptr) != 0) {
      pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
      return Failed(ERROR_NOT_ENOUGH_MEMORY, 0);
    }
    pthread_detach(thread);
    g_watching = true;
  }
  if (add) {
    g_handlers.push_back(handler);
    return 1;
  }
  for (auto h = g_handlers.begin(); h != g_handlers.end(); ++h) {
    if (*h == handler) {
      g_handlers.erase(h);
      return 1;
    }
  }
  return Failed(ERROR_INVALID_PARAMETER, 0);
}
