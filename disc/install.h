// Installing the game data from an image file: the image checked against a
// manifest, then its HV1 folder copied into the data directory.
#pragma once

#include "disc/install_report.h"
#include "disc/manifest.h"
#include "platform/platform.h"

// The room the copy keeps free beyond its files: folders, the log, rounding.
constexpr uint64_t kFreeSpaceMargin = uint64_t{1} << 20;

// Opens the image, checks it against `manifest` (in order, stopping at the
// first row that fails) and, when it passes, copies its HV1 folder into the
// data directory. Before the first byte is written it walks the tree once to
// refuse what cannot be copied whole and to measure the copy, makes the data
// directory, checks its disk has room and records there that an install is
// under way (FindUnfinishedMark); the record goes once the copy is done and
// GAMEDAT holds enough files. Owns the image file from open to close; logs
// every failure, and `report` says how the install ended. `quiet`
// suppresses the status window. True only when accepted and copied.
bool VerifyAndInstallImage(const WCHAR* path, bool quiet, const DiscManifest& manifest,
                           InstallReport* report);
