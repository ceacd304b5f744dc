#include "disc/setup_driver.h"

#include "disc/install.h"
#include "disc/installed.h"
#include "launcher/paths.h"
#include "launcher/setup_log.h"

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

// Explains, lets the user pick an image and installs it; offers the choice
// again after a refused image. False when the user gives up.
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
    if (VerifyAndInstallImage(file, false, manifest)) return true;
    MessageBoxW(nullptr, kRefusedText, kCaption, MB_ICONWARNING);
  }
}

}  // namespace

bool RunSetup(const WCHAR* setup_from, const DiscManifest& manifest) {
  OpenSetupLog();
  LogLine(u"setup: data in %s", g_paths.data_dir);
  bool installed = setup_from != nullptr ? VerifyAndInstallImage(setup_from, true, manifest)
                                         : PickAndInstall(manifest);
  if (installed && IsDataInstalled()) {
    LogLine(u"setup %s", u"done");
    return true;
  }
  LogLine(u"setup %s", u"not done");
  CloseSetupLog();
  return false;
}
