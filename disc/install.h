// Installing the game data from an image file: the image checked against a
// manifest, then its HV1 folder copied into the data directory.
#pragma once

#include "disc/manifest.h"
#include "platform/platform.h"

// Opens the image, checks it against `manifest` (in order, stopping at the
// first row that fails) and, when it passes, copies its HV1 folder into the
// data directory. Owns the image file from open to close; logs every failure.
// `quiet` suppresses the status window. True only when accepted and copied.
bool VerifyAndInstallImage(const WCHAR* path, bool quiet, const DiscManifest& manifest);
