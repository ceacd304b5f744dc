// The small always-on-top box with centred text shown during long work. The
// caller changes its text with SetWindowTextW and removes it with
// DestroyWindow.
#pragma once

#include "platform/platform.h"

// Returns the window, or nullptr when it could not be created.
HWND ShowStatusWindow(const WCHAR* text);

// Dispatches every message waiting in the thread's queue, without translation.
void PumpWaitingMessages();
