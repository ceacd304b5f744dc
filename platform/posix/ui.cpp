// Message boxes, the open-file dialog and the status window as a terminal:
// prompts on stderr, answers read a line at a time from stdin; the other
// window operations do nothing.
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/posix/posix_ops.h"
#include "platform/posix/text.h"

namespace {


// One line from stdin without its line end; false at end of input.
bool ReadAnswer(std::string* line) {
  line->clear();
  int c;
  bool any = false;
  while ((c = std::fgetc(stdin)) != EOF) {
    any = true;
    if (c == '\n') return true;
    if (c != '\r') line->push_back(static_cast<char>(c));
  }
  return any;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  while (!s.empty() && s.front() == ' ') s.erase(0, 1);
  return s;
}

struct StatusWindow {
  std::string text;
};

void PrintStatus(const std::string& text) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::fprintf(stderr, "status: %s\n", text.substr(start, end - start).c_str());
    start = end + 1;
  }
  std::fflush(stderr);
}

}  // namespace

int32_t Posix_MessageBoxW(PfWindow, const PfChar* text, const PfChar* caption, uint32_t type) {
  uint32_t buttons = type & 0xF;
  const char* choices = buttons == MB_OKCANCEL ? "OK/Cancel" : buttons == MB_YESNO ? "Yes/No" : "OK";
  std::fprintf(stderr, "\n[%s]\n%s\n(%s) > ", Utf8FromWide(caption).c_str(), Utf8FromWide(text).c_str(), choices);
  std::fflush(stderr);
  for (;;) {
    std::string line;
    if (!ReadAnswer(&line)) {
      std::fprintf(stderr, "\n");
      return buttons == MB_OKCANCEL ? IDCANCEL : buttons == MB_YESNO ? IDNO : IDOK;
    }
    std::string a = Lower(line);
    if (buttons == MB_YESNO) {
      if (a.empty() || a == "y" || a == "yes") return IDYES;
      if (a == "n" || a == "no") return IDNO;
    } else if (buttons == MB_OKCANCEL) {
      if (a.empty() || a == "o" || a == "ok") return IDOK;
      if (a == "c" || a == "cancel") return IDCANCEL;
    } else {
      if (a.empty() || a == "o" || a == "ok") return IDOK;
    }
    std::fprintf(stderr, "(%s) > ", choices);
    std::fflush(stderr);
  }
}

PfBool Posix_GetOpenFileNameW(PfOpenFileName* ofn) {
  if (!ofn || ofn->lStructSize != sizeof(PfOpenFileName) || !ofn->lpstrFile) return 0;
  std::string filter;
  for (const PfChar* f = ofn->lpstrFilter; f && *f;) {
    std::u16string part(f);
    if (!filter.empty()) filter += " | ";
    filter += Utf8FromWide(part.c_str());
    f += part.size() + 1;
  }
  std::fprintf(stderr, "\n[%s]\n%s\nPath (empty to cancel) > ", Utf8FromWide(ofn->lpstrTitle).c_str(),
               filter.c_str());
  std::fflush(stderr);
  for (;;) {
    std::string line;
    if (!ReadAnswer(&line) || line.empty()) return 0;
    std::u16string wide = WideFromUtf8(line);
    struct stat st;
    if ((ofn->Flags & OFN_FILEMUSTEXIST) && (stat(PosixPath(wide.c_str()).c_str(), &st) != 0 ||
                                  S_ISDIR(st.st_mode))) {
      std::fprintf(stderr, "%s\nFile not found. Check the file name and try again.\nPath > ",
                   line.c_str());
      std::fflush(stderr);
      continue;
    }
    if (wide.size() + 1 > ofn->nMaxFile) return 0;
    std::memcpy(ofn->lpstrFile, wide.c_str(), (wide.size() + 1) * sizeof(PfChar));
    return 1;
  }
}

PfWindow Posix_CreateWindowExW(uint32_t, const PfChar*, const PfChar* name, uint32_t, int32_t,
                               int32_t, int32_t, int32_t, PfWindow, void*, void*, void*) {
  StatusWindow* w = new StatusWindow{Utf8FromWide(name)};
  PrintStatus(w->text);
  return w;
}

PfBool Posix_SetWindowTextW(PfWindow window, const PfChar* text) {
  if (!window) return 0;
  StatusWindow* w = static_cast<StatusWindow*>(window);
  w->text = Utf8FromWide(text);
  PrintStatus(w->text);
  return 1;
}

PfBool Posix_DestroyWindow(PfWindow window) {
  if (!window) return 0;
  delete static_cast<StatusWindow*>(window);
  return 1;
}

intptr_t Posix_SendMessageW(PfWindow, uint32_t, uintptr_t, intptr_t) { return 0; }
PfBool Posix_UpdateWindow(PfWindow window) { return window != nullptr; }
PfBool Posix_PeekMessageW(PfMsg*, PfWindow, uint32_t, uint32_t, uint32_t) { return 0; }
intptr_t Posix_DispatchMessageW(const PfMsg*) { return 0; }
// The terminal stands for a screen of 1280 by 800.
int32_t Posix_GetSystemMetrics(int32_t index) {
  return index == SM_CXSCREEN ? 1280 : index == SM_CYSCREEN ? 800 : 0;
}
// A terminal has no pixels to scale: the DPI Windows calls 100%.
uint32_t Posix_GetDpiForSystem() { return USER_DEFAULT_SCREEN_DPI; }
uint32_t Posix_GetDpiForWindow(PfWindow window) {
  return window != nullptr ? USER_DEFAULT_SCREEN_DPI : 0;
}
PfBool Posix_SetWindowPos(PfWindow window, PfWindow, int32_t, int32_t, int32_t, int32_t,
                          uint32_t) {
  return window != nullptr;
}
void* Posix_GetStockObject(int32_t) {
  static int stock;
  return &stock;
}
