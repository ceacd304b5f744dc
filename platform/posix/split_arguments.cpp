#include <cstring>
#include <vector>

#include "platform/posix/handles.h"
#include "platform/posix/posix_ops.h"

// As CommandLineToArgvW splits. The first token has its own rule: a leading
// quote runs to the next quote, otherwise it ends at the first space or tab;
// no escapes. Later arguments end at a space or tab outside quotes; 2n
// backslashes and a quote give n backslashes and a quote that counts, 2n+1
// give n and a literal quote. Quotes that count are counted in runs: every
// third of a run gives a literal quote and leaves the quoted part, and a run
// that leaves the count at two leaves it too; so inside quotes `""` gives one
// quote and ends the quoted part, and `"""` gives one and goes on quoted.
std::u16string* SplitCommandLine(const char16_t* text, size_t* count) {
  std::vector<std::u16string> args;
  const char16_t* s = text;
  std::u16string first;
  if (*s == u'"') {
    ++s;
    while (*s && *s != u'"') first += *s++;
    if (*s == u'"') ++s;
  } else {
    while (*s && *s != u' ' && *s != u'\t') first += *s++;
  }
  args.push_back(first);
  while (*s == u' ' || *s == u'\t') ++s;
  while (*s) {
    std::u16string arg;
    int quotes = 0;  // 1 inside a quoted part
    size_t backslashes = 0;
    for (; *s; ++s) {
      if ((*s == u' ' || *s == u'\t') && quotes == 0) break;
      if (*s == u'\\') {
        arg += u'\\';
        ++backslashes;
        continue;
      }
      if (*s != u'"') {
        arg += *s;
        backslashes = 0;
        continue;
      }
      // Half the backslashes before a quote stay; an odd one escapes it.
      arg.resize(arg.size() - backslashes / 2);
      if (backslashes % 2 == 1) {
        arg.back() = u'"';
      } else {
        ++quotes;
      }
      backslashes = 0;
      while (s[1] == u'"') {
        ++s;
        if (++quotes == 3) {
          arg += u'"';
          quotes = 0;
        }
      }
      if (quotes == 2) quotes = 0;
    }
    args.push_back(arg);
    while (*s == u' ' || *s == u'\t') ++s;
  }
  *count = args.size();
  std::u16string* out = new std::u16string[args.size()];
  for (size_t i = 0; i < args.size(); ++i) out[i] = args[i];
  return out;
}

PfChar** Posix_CommandLineToArgvW(const PfChar* text, int32_t* count) {
  if (text == nullptr || count == nullptr) return nullptr;
  size_t n = 0;
  std::u16string* words;
  if (*text == 0) {
    // As on Windows: an empty text gives the program's own path.
    PfChar self[4096];
    uint32_t len = Posix_GetModuleFileNameW(nullptr, self, 4096);
    if (len == 0 || len >= 4096) return nullptr;
    words = new std::u16string[1]{std::u16string(self)};
    n = 1;
  } else {
    words = SplitCommandLine(text, &n);
  }
  // One block, pointers first, as the caller never frees it piecemeal.
  size_t units = 0;
  for (size_t i = 0; i < n; ++i) units += words[i].size() + 1;
  char* block = new char[(n + 1) * sizeof(PfChar*) + units * sizeof(PfChar)];
  PfChar** argv = reinterpret_cast<PfChar**>(block);
  PfChar* strings = reinterpret_cast<PfChar*>(block + (n + 1) * sizeof(PfChar*));
  for (size_t i = 0; i < n; ++i) {
    argv[i] = strings;
    std::memcpy(strings, words[i].c_str(), (words[i].size() + 1) * sizeof(PfChar));
    strings += words[i].size() + 1;
  }
  argv[n] = nullptr;
  delete[] words;
  *count = static_cast<int32_t>(n);
  return argv;
}
