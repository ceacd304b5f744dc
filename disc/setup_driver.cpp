#include "disc/setup_driver.h"

#include "disc/install.h"
#include "disc/installed.h"
#include "launcher/format.h"
#include "launcher/paths.h"
#include "launcher/setup_log.h"
#include "launcher/system_error.h"

namespace {

constexpr const WCHAR* kCaption = u"Halvorn Glint";
constexpr const WCHAR* kExplainText =
    u"Halvorn Glint installs from your own copy of Halvorn: The Morvath Saga, as a disc image "
    u"(.iso) of disc 1.\n\nChoose the image file. (Have the CD? Make an .iso of disc 1 with a "
    u"disc-imaging program first.)";
constexpr const WCHAR* kRefusedText =
    u"That image isn't Halvorn: The Morvath Saga, disc 1 (its HV1 folder isn't there, or its "
    u"files aren't the Morvath Saga's), or it couldn't be read. Nothing was installed.";
// One pair and the list's closing zero (the literal adds the last one).
constexpr WCHAR kFilter[] = u"Disc images (*.iso)\0*.iso\0";
constexpr uint32_t kFileBufferSize = 260;
static_assert((OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY) == 0x1804);

// Tells the player why an install that got past the image's check failed.
// False for a failure a new image cannot mend (the folder, the disk), after
// which setup ends; true when choosing the image again may help.
bool TellInstallFailure(const InstallReport& report) {
  WCHAR text[1024];
  WCHAR words[kErrorWordsLimit + 1];
  DescribeSystemError(report.error, words);
  const WCHAR* why = words;
  switch (report.outcome) {
    case InstallOutcome::kInstalled:
    case InstallOutcome::kRefused:
      MessageBoxW(nullptr, kRefusedText, kCaption, MB_ICONWARNING);
      return true;
    case InstallOutcome::kFolderNotWritable:
      FormatBounded(text, 1023,
                    u"Halvorn Glint can't write the game data into its folder (%s):\n\n%s\n\n"
                    u"Move the whole Halvorn Glint folder somewhere you can write, such as "
                    u"C:\\Games, and start it again. Nothing was installed.",
                    why, report.path);
      break;
    case InstallOutcome::kDiskTooSmall: {
      uint32_t free_mb = report.free_mb, needed_mb = report.needed_mb;
      FormatBounded(text, 1023,
                    u"The disk holding %s is too full for the game data: it needs %lu MB more "
                    u"(%lu MB are free, %lu MB are needed).\n\nFree some space on it, or move "
                    u"the whole Halvorn Glint folder to a disk with more room, and start it "
                    u"again. Nothing was installed.",
                    report.path, needed_mb > free_mb ? needed_mb - free_mb : 1u, free_mb,
                    needed_mb);
      break;
    }
    case InstallOutcome::kWriteFailed:
      FormatBounded(text, 1023,
                    u"Halvorn Glint couldn't write %s (%s), so the game data is only partly "
                    u"installed.\n\nPut that right and start Halvorn Glint again: it installs "
                    u"the data again by itself.",
                    report.path, why);
      break;
    case InstallOutcome::kMarkStays:
      FormatBounded(text, 1023,
                    u"Halvorn Glint copied the game data but couldn't remove %s (%s), which "
                    u"marks an install that hasn't finished, so the data doesn't count as "
                    u"installed.\n\nDelete that file and start Halvorn Glint again.",
                    report.path, why);
      break;
    case InstallOutcome::kImageUnreadable:
      FormatBounded(text, 1023,
                    u"Halvorn Glint couldn't read your disc image %s (%s), so the game data is "
                    u"only partly installed.\n\nIf the image is on a disc, a USB stick or a "
                    u"network drive, check that it is still there, or copy it onto this PC; "
                    u"then choose it again.",
                    report.path, why);
      MessageBoxW(nullptr, text, kCaption, MB_ICONWARNING);
      return true;
  }
  MessageBoxW(nullptr, text, kCaption, MB_ICONERROR);
  return false;
}

// Explains, lets the user pick an image and installs it; offers the choice
// again after an image that was refused or could not be read. False when the
// user gives up or the install failed in a way no image can mend.
bool PickAndInstall(const DiscManifest& manifest) {
  WCHAR file[kFileBufferSize];
  for (;;) {
    if (MessageBoxW(nullptr, kExplainText, kCaption, MB_ICONINFORMATION | MB_OKCANCEL) != IDOK) {
      return false;
    }
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFilter = kFilter;
    file[0] = u'\0';
    ofn.lpstrFile = file;
    ofn.nMaxFile = kFileBufferSize;
    ofn.lpstrTitle = u"Your Halvorn: The Morvath Saga disc image (disc 1)";
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&ofn)) continue;
    file[kFileBufferSize - 1] = u'\0';
    LogLine(u"picked %s", file);
    InstallReport report;
    if (VerifyAndInstallImage(file, false, manifest, &report)) return true;
    if (!TellInstallFailure(report)) return false;
  }
}

// A log that cannot be written is said once, before the first question: the
// reason is often a folder the player can't write, which setup meets next.
void TellLogUnwritable(uint32_t error) {
  WCHAR path[276];
  FormatBounded(path, 275, u"%s\\setup.log", g_paths.install_root);
  WCHAR words[kErrorWordsLimit + 1];
  DescribeSystemError(error, words);
  WCHAR text[768];
  FormatBounded(text, 767,
                u"Halvorn Glint can't write its log file %s (%s).\n\nIt goes on without it; if "
                u"it can't write the game data either, it says so next.",
                static_cast<const WCHAR*>(path), static_cast<const WCHAR*>(words));
  MessageBoxW(nullptr, text, kCaption, MB_ICONWARNING);
}

}  // namespace

bool RunSetup(const WCHAR* setup_from, const DiscManifest& manifest) {
  if (!OpenSetupLog() && setup_from == nullptr) TellLogUnwritable(GetLastError());
  LogLine(u"setup: data in %s", g_paths.data_dir);
  if (FindUnfinishedMark() == UnfinishedMark::kPresent)
    LogLine(u"setup: the last install did not finish");
  bool installed;
  if (setup_from != nullptr) {
    InstallReport report;
    installed = VerifyAndInstallImage(setup_from, true, manifest, &report);
  } else {
    installed = PickAndInstall(manifest);
  }
  if (installed && IsDataInstalled()) {
    LogLine(u"setup %s", u"done");
    return true;
  }
  LogLine(u"setup %s", u"not done");
  CloseSetupLog();
  return false;
}
