/* The floor for a launcher: a static program that only starts GAME as the
 * launcher starts the game (standard input on /dev/null, in its folder, no
 * other descriptors), learns that it started, and exits without waiting.
 * Built by scripts/bench-start.sh with -DGAME="path" -DFOLDER="path".        */
#include <fcntl.h>
#include <spawn.h>

extern char** environ;

int main(void) {
  char* args[] = {GAME, "--dx12", 0};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addchdir_np(&actions, FOLDER);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  pid_t pid;
  return posix_spawn(&pid, GAME, &actions, 0, args, environ) != 0;
}
