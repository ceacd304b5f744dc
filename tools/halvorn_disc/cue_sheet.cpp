#include "tools/halvorn_disc/cue_sheet.h"

#include <cstdio>
#include <cstring>

namespace {

struct Line {
  const char* at;
  const char* end;
};

void SkipSpaces(Line* l) {
  while (l->at < l->end && (*l->at == ' ' || *l->at == '\t')) ++l->at;
}

// The next word (or quoted name) of a line into `out`; false when none.
bool Word(Line* l, char* out, size_t size) {
  SkipSpaces(l);
  if (l->at >= l->end) return false;
  char stop = ' ';
  if (*l->at == '"') {
    stop = '"';
    ++l->at;
  }
  size_t n = 0;
  while (l->at < l->end && *l->at != stop && !(stop == ' ' && *l->at == '\t')) {
    if (n + 1 >= size) return false;
    out[n++] = *l->at++;
  }
  if (stop == '"') {
    if (l->at >= l->end) return false;  // unterminated
    ++l->at;
  }
  out[n] = '\0';
  return true;
}

bool Is(const char* word, const char* keyword) {
  for (; *word && *keyword; ++word, ++keyword) {
    char c = *word >= 'a' && *word <= 'z' ? static_cast<char>(*word - 32) : *word;
    if (c != *keyword) return false;
  }
  return *word == *keyword;
}

// "mm:ss:ff" as sectors (75 a second).
bool Msf(const char* text, uint64_t* frames) {
  unsigned m = 0, s = 0, f = 0;
  char tail = 0;
  if (std::sscanf(text, "%3u:%2u:%2u%c", &m, &s, &f, &tail) != 3 || s >= 60 || f >= 75) {
    return false;
  }
  *frames = (uint64_t{m} * 60 + s) * 75 + f;
  return true;
}

bool LayoutOf(const char* type, SectorLayout* layout) {
  if (Is(type, "MODE1/2048") || Is(type, "MODE2/2048")) {
    *layout = kPlainLayout;
  } else if (Is(type, "MODE1/2352")) {
    *layout = {kRawSectorSize, kMode1DataOffset, 1};
  } else if (Is(type, "MODE2/2352")) {
    *layout = {kRawSectorSize, kForm1DataOffset, 2};
  } else if (Is(type, "MODE2/2336")) {
    *layout = {kMode2HeaderlessSize, kForm1DataOffset - kSubheaderOffset, 2};
  } else {
    return false;
  }
  return true;
}

bool Fail(char* why, const char* text) {
  std::snprintf(why, kCueWhySize, "%s", text);
  return false;
}

}  // namespace

bool ParseCueSheet(const char* text, size_t size, CueTrack* out, char* why) {
  std::memset(out, 0, sizeof *out);
  char file[kCueNameSize] = {};
  int tracks = 0;         // TRACK lines seen
  bool same_file = true;  // no FILE line since the first track's
  bool have_start = false;
  const char* end = text + size;
  // A byte-order mark, as Notepad writes at the start of a UTF-8 file.
  if (size >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) text += 3;
  for (const char* at = text; at < end;) {
    const char* eol =
        static_cast<const char*>(std::memchr(at, '\n', static_cast<size_t>(end - at)));
    Line line{at, eol ? eol : end};
    at = eol ? eol + 1 : end;
    while (line.end > line.at && (line.end[-1] == '\r' || line.end[-1] == ' ')) --line.end;
    char word[kCueNameSize];
    if (!Word(&line, word, sizeof word)) continue;
    if (Is(word, "FILE")) {
      // The name, then its type; the name may hold spaces when it is quoted.
      if (!Word(&line, file, sizeof file)) return Fail(why, "a FILE line without a name");
      if (tracks > 0) same_file = false;
    } else if (Is(word, "TRACK")) {
      char number[16], type[32];
      if (!Word(&line, number, sizeof number) || !Word(&line, type, sizeof type)) {
        return Fail(why, "a TRACK line without its number and kind");
      }
      if (++tracks == 1) {
        if (file[0] == '\0') return Fail(why, "the first track comes before any FILE line");
        if (Is(type, "AUDIO"))
          return Fail(why, "its first track is audio: a music CD, not a data disc");
        if (!LayoutOf(type, &out->layout)) {
          std::snprintf(why, kCueWhySize, "its first track is %s, which holds no ISO 9660 data",
                        type);
          return false;
        }
        std::memcpy(out->file, file, sizeof file);
      }
    } else if (Is(word, "INDEX") && tracks > 0) {
      char number[16], time[32];
      uint64_t frames = 0;
      if (!Word(&line, number, sizeof number) || !Word(&line, time, sizeof time) ||
          !Msf(time, &frames)) {
        return Fail(why, "an INDEX line without a time mm:ss:ff");
      }
      if (tracks == 1 && Is(number, "01")) {
        out->start = frames;
        have_start = true;
      } else if (tracks == 2 && same_file && out->end == 0) {
        out->end = frames;  // INDEX 00 (the gap) when there is one, else 01
      }
    }
  }
  if (tracks == 0) return Fail(why, "it names no TRACK");
  if (!have_start) return Fail(why, "its first track has no INDEX 01");
  if (out->end != 0 && out->end <= out->start)
    return Fail(why, "its second track starts before its first");
  return true;
}
