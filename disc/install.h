// The data setup step as the run sequence sees it.
#pragma once

#include "platform/platform.h"

// True when the data directory's GAMEDAT folder holds 20 or more files.
bool IsDataInstalled();

// Opens the setup log, installs from `setup_from` (when not null, quietly) or
// from an image the user picks, and says whether the data is now installed.
// On failure the setup log is closed before returning.
bool RunSetup(const WCHAR* setup_from);
