// One run of the ship-setup script as a hidden child, followed to its end.
#pragma once

#include "platform/platform.h"

constexpr size_t kReasonSize = 512;

// True when the child printed a "DONE" line; otherwise `reason` (512 units)
// says why. Shows the status window unless `ships_yes`.
bool RunShipSetup(bool ships_yes, WCHAR* reason);
