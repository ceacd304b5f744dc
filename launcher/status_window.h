// The small always-on-top box with centred text shown during long work. The
// caller changes its text with SetWindowTextW and removes it with
// DestroyWindow.
#pragma once

#include "platform/platform.h"

// Returns the window, or nullptr when it could not be created. It is 460 x 90
// pixels at 96 DPI, scaled to the screen's DPI, centred on the primary screen.
HWND ShowStatusWindow(const WCHAR* text);

struct StatusWindowPlace {
  int32_t x, y, width, height;
};

// Where the window goes at `dpi` (0: 96) on a screen of the given size.
StatusWindowPlace PlaceStatusWindow(uint32_t dpi, int32_t screen_width, int32_t screen_height);

// Dispatches every message waiting in the thread's queue, without translation.
void PumpWaitingMessages();
