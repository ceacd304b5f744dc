// Whether the game data is installed, decided from what lies on disk.
#pragma once

// True when the data directory's GAMEDAT folder holds 20 or more files.
bool IsDataInstalled();
