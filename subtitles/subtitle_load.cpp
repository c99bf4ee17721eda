// Choosing the readers for a file: by its extension, a fixed sequence of formats is tried until
// one accepts the file. A format whose reader is not part of this build is skipped.
#include <cstring>

#include "common/char_case.h"
#include "subtitles/subtitle_engine.h"
#include "subtitles/subtitle_readers.h"

namespace {
struct Probe {
  const char* extension;
  const char* formats[6];
};

const Probe kProbes[] = {
    {".SUB", {"SubViewer 2.0", "SubViewer 1.0", "DVDSubtitle", "VobSub", "SubRip", "MicroDVD"}},
    {".SRT", {"SubRip", "SubViewer 2.0", "MicroDVD", "SubViewer 1.0", "DVDSubtitle"}},
    {".TXT", {"MicroDVD", "TMPlayer", "SubRip", "SubViewer 2.0", "SubViewer 1.0", "DVDSubtitle"}},
    {".SMI", {"SAMI"}},
    {".SSA", {"Sub Station Alpha"}},
    {".JS", {"JACOsub"}},
    {".RT", {"RealText"}},
    {".AQT", {"AqTitle"}},
    {".INI", {"MicroDVD-INI"}},
    {".MDV", {"MicroDVD-INI"}},
};

SubtitleReader FindReader(const char* format) {
  for (int i = 0; i < kSubtitleReaderCount; ++i)
    if (std::strcmp(kSubtitleReaders[i].format, format) == 0) return kSubtitleReaders[i].read;
  return nullptr;
}
}  // namespace

int SubtitleProbeFormats(const char* path, const char* formats[7]) {
  formats[0] = nullptr;
  const char* dot = path ? std::strrchr(path, '.') : nullptr;
  if (!dot || dot == path || std::strlen(dot) >= 8) return -1;
  char ext[8];
  for (size_t i = 0; i <= std::strlen(dot); ++i) ext[i] = UpperChar(dot[i]);
  for (const Probe& probe : kProbes) {
    if (std::strcmp(probe.extension, ext) != 0) continue;
    int n = 0;
    for (const char* format : probe.formats)
      if (format) formats[n++] = format;
    formats[n] = nullptr;
    return n;
  }
  return -1;
}

int SubtitleEngine::Load(const char* file) {
  Clear();
  if (!file) return -1;
  // The extension runs from the last dot to the end, upper-cased; a dot must follow the first
  // character.
  const char* dot = std::strrchr(file, '.');
  if (!dot || dot == file) return -1;
  char ext[8];
  size_t n = std::strlen(dot);
  if (n >= sizeof ext) return -1;  // longer than any known extension
  for (size_t i = 0; i <= n; ++i) ext[i] = UpperChar(dot[i]);
  int result = -1;
  for (const Probe& probe : kProbes) {
    if (std::strcmp(probe.extension, ext) != 0) continue;
    for (const char* format : probe.formats) {
      if (!format) break;
      SubtitleReader read = FindReader(format);
      if (!read) continue;
      result = (this->*read)(file);
      if (result == 0) return 0;
    }
    break;
  }
  Clear();
  return result;
}
