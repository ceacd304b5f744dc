#include "launcher/status_window.h"

void PumpWaitingMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

StatusWindowPlace PlaceStatusWindow(uint32_t dpi, int32_t screen_width, int32_t screen_height) {
  if (dpi == 0) dpi = USER_DEFAULT_SCREEN_DPI;
  // 460 x 90 at 96 DPI, rounded to the nearest pixel.
  auto scaled = [dpi](int32_t size) {
    return static_cast<int32_t>((int64_t{size} * dpi + USER_DEFAULT_SCREEN_DPI / 2) /
                                USER_DEFAULT_SCREEN_DPI);
  };
  StatusWindowPlace place;
  place.width = scaled(460);
  place.height = scaled(90);
  place.x = (screen_width - place.width) / 2;
  place.y = (screen_height - place.height) / 2;
  return place;
}

HWND ShowStatusWindow(const WCHAR* text) {
  int32_t screen_width = GetSystemMetrics(SM_CXSCREEN);
  int32_t screen_height = GetSystemMetrics(SM_CYSCREEN);
  // Made at the system's DPI, the primary screen's, where the window lies;
  // the program is DPI-aware, so nothing scales it for us.
  uint32_t dpi = GetDpiForSystem();
  StatusWindowPlace place = PlaceStatusWindow(dpi, screen_width, screen_height);
  // A static control made a top-level popup: thin border, centred text, no
  // caption or buttons, no taskbar button, above other windows.
  HWND window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, u"STATIC", text,
                                WS_POPUP | WS_VISIBLE | WS_BORDER | SS_CENTERIMAGE | SS_CENTER,
                                place.x, place.y, place.width, place.height, nullptr, nullptr,
                                nullptr, nullptr);
  if (window == nullptr) return nullptr;
  // A screen whose own DPI differs from the system's (set since sign-in).
  uint32_t window_dpi = GetDpiForWindow(window);
  if (window_dpi != 0 && window_dpi != (dpi == 0 ? USER_DEFAULT_SCREEN_DPI : dpi)) {
    place = PlaceStatusWindow(window_dpi, screen_width, screen_height);
    SetWindowPos(window, nullptr, place.x, place.y, place.width, place.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SendMessageW(window, WM_SETFONT, reinterpret_cast<uintptr_t>(GetStockObject(DEFAULT_GUI_FONT)),
               1);
  // Drawn now, before the caller's long work, which pumps no messages.
  UpdateWindow(window);
  PumpWaitingMessages();
  return window;
}
