#include "ships/step.h"

#include "launcher/format.h"
#include "launcher/paths.h"
#include "launcher/setup_log.h"
#include "ships/runner.h"

// The site the ship-setup script downloads the 3D archive from.
constexpr const char16_t* kDownloadHost = u"downloads.halvornglint.net";

namespace {

bool ExistsUnderRoot(const WCHAR* relative) {
  WCHAR path[324];
  FormatBounded(path, 323, u"%s\\%s", g_paths.install_root, relative);
  return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

void RunShipsStep(bool ships, bool ships_yes) {
  if (!ExistsUnderRoot(u"bin\\python\\python.exe") || !ExistsUnderRoot(u"tools\\install_ships.py") ||
      ExistsUnderRoot(u"models\\type00.hvm")) {
    return;
  }
  WCHAR marker[292];
  FormatBounded(marker, 291, u"%s\\models\\ships-not-now", g_paths.install_root);
  if (!ships && GetFileAttributesW(marker) != INVALID_FILE_ATTRIBUTES) return;

  if (!ships_yes) {
    WCHAR question[1024];
    FormatBounded(question, 1023,
                  u"Nine ships come with the game as Tallowmere's HD models. The others' 3D models "
                  u"are Quillon's own, from Vantrel.\n\nGet them now? Setup downloads Quillon's 3D "
                  u"archive (271 MB) from %s and builds the ships from it on this PC; it takes a "
                  u"few minutes.\n\nWithout them the ships are the game's original art. (\"Play "
                  u"Halvorn Glint.exe --ships\" asks again.)",
                  kDownloadHost);
    if (MessageBoxW(nullptr, question, u"Halvorn Glint", MB_ICONQUESTION | MB_YESNO) != IDYES) {
      HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
      LogLine(u"ships: not now");
      return;
    }
  }
  DeleteFileW(marker);

  WCHAR reason[kReasonSize];
  for (int run = 1; run <= 2; ++run) {
    if (RunShipSetup(ships_yes, reason)) {
      LogLine(u"ships: installed");
      return;
    }
    LogLine(u"ships: failed: %s", static_cast<const WCHAR*>(reason));
  }
  if (ships_yes) return;
  WCHAR text[700];
  FormatBounded(text, 699,
                u"The 3D ships couldn't be set up: %s.\n\nThe game plays with its original art; "
                u"\"Play Halvorn Glint.exe --ships\" tries again.",
                static_cast<const WCHAR*>(reason));
  MessageBoxW(nullptr, text, u"Halvorn Glint", MB_ICONWARNING);
}
