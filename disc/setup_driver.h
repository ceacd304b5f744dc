// The data setup step of the run sequence.
#pragma once

#include "disc/manifest.h"
#include "platform/platform.h"

// Opens the setup log, installs from `setup_from` (when not null, quietly) or
// from an image the user picks, checking against `manifest`, and says whether
// the data is now installed. On failure the setup log is closed first.
bool RunSetup(const WCHAR* setup_from, const DiscManifest& manifest);
