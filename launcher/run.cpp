#include "launcher/run.h"

#include "disc/installed.h"
#include "disc/setup_driver.h"
#include "launcher/format.h"
#include "launcher/launcher_lock.h"
#include "launcher/paths.h"
#include "launcher/setup_log.h"
#include "ships/step.h"

namespace {

constexpr const WCHAR* kCaption = u"Halvorn Glint";

}  // namespace

LauncherOptions DefaultOptions() {
  LauncherOptions options{};
  options.play = true;
  return options;
}

void ParseSwitches(WCHAR** args, int32_t count, LauncherOptions* options) {
  for (int32_t i = 0; i < count; ++i) {
    const WCHAR* arg = args[i];
    if (SameText(arg, u"--setup")) {
      options->setup = true;
    } else if (SameText(arg, u"--no-play")) {
      options->play = false;
    } else if (SameText(arg, u"--setup-from")) {
      // The next argument is the path whatever it looks like; as the last
      // argument the switch is ignored.
      if (i + 1 < count) {
        options->has_setup_from = true;
        options->setup_from = args[++i];
      }
    } else if (SameText(arg, u"--ships")) {
      options->ships = true;
    } else if (SameText(arg, u"--ships-yes")) {
      options->ships = true;
      options->ships_yes = true;
    }
  }
}

int LaunchGame() {
  WCHAR program[292];
  WCHAR command_line[324];
  FormatBounded(program, 291, u"%s\\bin\\hv1-glint.exe", g_paths.install_root);
  FormatBounded(command_line, 323, u"\"%s\" --dx12", program);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(program, command_line, nullptr, nullptr, FALSE, 0, nullptr,
                      g_paths.data_dir, &startup, &info)) {
    MessageBoxW(nullptr,
                u"Halvorn Glint couldn't start bin\\hv1-glint.exe.\n\nUnzip the whole folder "
                u"first (don't run it from inside the zip), and keep bin, data, models and "
                u"cutscenes together.",
                kCaption, MB_ICONERROR);
    return 1;
  }
  // The game runs on its own; the launcher does not wait for it.
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return 0;
}

namespace {

int RunSteps(const LauncherOptions& options, const DiscManifest& manifest) {
  if (options.setup || options.has_setup_from || !IsDataInstalled()) {
    if (!RunSetup(options.has_setup_from ? options.setup_from : nullptr, manifest)) return 1;
  }
  if (g_setup_log == INVALID_HANDLE_VALUE) OpenSetupLog();
  RunShipsStep(options.ships, options.ships_yes);
  CloseSetupLog();
  if (!options.play) return 0;
  return LaunchGame();
}

// A second start while another launcher of this folder runs: said in a box,
// unless the start is unattended (then in the log, when it can be had).
int TellAlreadyRunning(const LauncherOptions& options) {
  if (options.has_setup_from || options.ships_yes) {
    OpenSetupLog();
    LogLine(u"setup: Halvorn Glint is already running in this folder; this start ends");
    CloseSetupLog();
  } else {
    MessageBoxW(nullptr,
                u"Halvorn Glint is already running: its questions or its progress may be "
                u"behind another window.\n\nThis start ends here.",
                kCaption, MB_ICONINFORMATION);
  }
  return 1;
}

}  // namespace

int RunSequence(const LauncherOptions& options, const DiscManifest& manifest) {
  // Held until the game has been started. When the system gives no lock the
  // launcher goes on without one, as it would on a system without them:
  // keeping a player from the game for it would be worse than the rare
  // second start it guards against.
  HANDLE lock = nullptr;
  LauncherLock held = TakeLauncherLock(&lock);
  int code = held == LauncherLock::kHeldByAnother ? TellAlreadyRunning(options)
                                                  : RunSteps(options, manifest);
  if (lock != nullptr) CloseHandle(lock);
  return code;
}

WCHAR** g_arguments = nullptr;

int RunLauncher(const WCHAR* command_text) {
  if (!FillLauncherPaths()) {
    MessageBoxW(nullptr,
                u"Halvorn Glint can't find its own folder (its path is too long or can't be "
                u"read).\n\nMove the whole folder somewhere with a shorter path, such as "
                u"C:\\Games, and start it again.",
                kCaption, MB_ICONERROR);
    return 1;
  }
  LauncherOptions options = DefaultOptions();
  if (command_text != nullptr && command_text[0] != u'\0') {
    int32_t count = 0;
    // The array lives until the process ends: setup_from points into it.
    g_arguments = CommandLineToArgvW(command_text, &count);
    if (g_arguments != nullptr && count > 0) ParseSwitches(g_arguments, count, &options);
  }
  return RunSequence(options, kGameManifest);
}
