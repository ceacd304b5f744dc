#include "launcher/status_window.h"

void PumpWaitingMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

HWND ShowStatusWindow(const WCHAR* text) {
  constexpr int32_t kWidth = 460;
  constexpr int32_t kHeight = 90;
  int32_t screen_width = GetSystemMetrics(SM_CXSCREEN);
  int32_t screen_height = GetSystemMetrics(SM_CYSCREEN);
  // A static control made a top-level popup: thin border, centred text, no
  // caption or buttons, no taskbar button, above other windows.
  HWND window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, u"STATIC", text,
                                WS_POPUP | WS_VISIBLE | WS_BORDER | SS_CENTERIMAGE | SS_CENTER,
                                (screen_width - kWidth) / 2, (screen_height - kHeight) / 2,
                                kWidth, kHeight, nullptr, nullptr, nullptr, nullptr);
  if (window == nullptr) return nullptr;
  SendMessageW(window, WM_SETFONT, reinterpret_cast<uintptr_t>(GetStockObject(DEFAULT_GUI_FONT)),
               1);
  // Drawn now, before the caller's long work, which pumps no messages.
  UpdateWindow(window);
  PumpWaitingMessages();
  return window;
}
