// One launcher at a time in a release folder: a second start while one runs
// would run a second setup over the first, or start the game twice.
#pragma once

#include "platform/platform.h"

enum class LauncherLock {
  kHeld,           // this launcher is the only one; close the handle at the end
  kHeldByAnother,  // another launcher of this folder runs; close the handle and stop
  kUnavailable,    // the system gave no lock (no handle): go on without one
};

// Takes the named mutex of this release folder ("Local\", so one user's:
// another user's launcher is not seen), named by a hash of the install root
// with ASCII case folded, as Windows paths compare.
LauncherLock TakeLauncherLock(HANDLE* mutex);
