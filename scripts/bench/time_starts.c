/* Times whole processes from start to exit, in turns: each run starts each
 * PROGRAM once (no arguments, stdout and stdin on /dev/null) and waits for it.
 * A vfork-style spawn from this small parent adds as little as a start can.
 * What a program leaves running (the launcher's game) is reaped before the
 * next run starts, so that no run pays for the one before it: this process
 * is their subreaper, and the time stops at the program's own exit.
 * Prints, per program, in microseconds: the median, 10th and 90th percentile
 * of the time from start to exit, and the median of the CPU time the process
 * itself used (user and system; what load from elsewhere changes least).
 *   time_starts RUNS PROGRAM...                                              */
#include <fcntl.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

extern char** environ;

static int Compare(const void* a, const void* b) {
  double x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

static double Median(const double* sorted, int n) {
  return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: time_starts RUNS PROGRAM...\n");
    return 2;
  }
  int runs = atoi(argv[1]), programs = argc - 2;
  if (runs < 1) return 2;
  double* us = calloc((size_t)runs * programs, sizeof *us);
  double* cpu = calloc((size_t)runs * programs, sizeof *cpu);
  if (us == NULL || cpu == NULL) return 1;
  if (prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) return 1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  for (int run = 0; run < runs; ++run) {
    for (int p = 0; p < programs; ++p) {
      char* args[] = {argv[2 + p], NULL};
      struct timespec start, end;
      pid_t pid;
      int status;
      struct rusage usage;
      clock_gettime(CLOCK_MONOTONIC, &start);
      if (posix_spawn(&pid, args[0], &actions, NULL, args, environ) != 0 ||
          wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        fprintf(stderr, "time_starts: %s did not run to a clean exit\n", args[0]);
        return 1;
      }
      clock_gettime(CLOCK_MONOTONIC, &end);
      while (wait(NULL) > 0) continue;
      us[(size_t)p * runs + run] =
          (end.tv_sec - start.tv_sec) * 1e6 + (end.tv_nsec - start.tv_nsec) / 1e3;
      cpu[(size_t)p * runs + run] = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e6 +
                                    usage.ru_utime.tv_usec + usage.ru_stime.tv_usec;
    }
  }
  for (int p = 0; p < programs; ++p) {
    double* mine = us + (size_t)p * runs;
    double* used = cpu + (size_t)p * runs;
    qsort(mine, runs, sizeof *mine, Compare);
    qsort(used, runs, sizeof *used, Compare);
    printf("%.1f %.1f %.1f %.1f %s\n", Median(mine, runs), mine[runs / 10], mine[runs * 9 / 10],
           Median(used, runs), argv[2 + p]);
  }
  return 0;
}
