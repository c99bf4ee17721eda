// Readers of the formats that count video frames: MicroDVD, AqTitle and the MicroDVD-INI index
// that names one file per language. Frame numbers stay pending until a frame rate is known,
// from the file itself or later from the video.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "common/char_case.h"
#include "subtitles/reader_util.h"
#include "subtitles/subtitle_engine.h"
#include "subtitles/subtitle_files.h"
#include "subtitles/subtitle_text.h"

namespace {

constexpr int kLineBytes = 1024;

// "{", decimal digits, "}" at *p; advances past it. A value beyond the 32-bit range saturates.
bool ReadFrameField(const char*& p, int32_t& value) {
  if (*p != '{') return false;
  const char* q = p + 1;
  int64_t v = 0;
  while (*q >= '0' && *q <= '9') {
    if (v <= INT32_MAX) v = v * 10 + (*q - '0');
    ++q;
  }
  if (*q != '}') return false;
  value = Saturate(v);
  p = q + 1;
  return true;
}

// Index files being loaded on this thread, so that an index leading back to one of them is
// refused instead of loaded again, and a long chain of indexes ends.
thread_local std::vector<std::string> t_openIndexes;
constexpr size_t kMaxIndexDepth = 8;

std::string CanonicalName(const char* path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::path(path), ec);
  return ec ? std::string(path) : p.string();
}

struct IndexEntry {
  SharedString name;
  SharedString file;
};

}  // namespace

int SubtitleEngine::ReadMicroDvd(const char* file) {
  Clear();
  SubtitleText src;
  if (src.Open(file, true) != 0) return -1;
  path = file;
  formatName = "MicroDVD";
  framesPending = 1;
  float fps = 0.0f;
  char line[kLineBytes];
  while (src.ReadLine(line, kLineBytes) == 0) {
    if (!line[0] || StartsWithNoCase(line, "{DEFAULT}")) continue;
    const char* p = line;
    int32_t start, end;
    if (!ReadFrameField(p, start) || !ReadFrameField(p, end)) return -1;
    if (fps == 0.0f && (start == 0 || start == 1) && (end == 0 || end == 1) && items.Count() == 0) {
      // A frame-rate statement; never an entry, even when no number follows.
      std::sscanf(p, "%f", &fps);
      continue;
    }
    SharedString text = StripBraces(ReplaceText(p, "|", "\n").c_str());
    items.Append(new SubtitleItem(start, end, text));
  }
  if (fps > 0) ConvertFramesToTime(fps);
  SortByStart();
  FillOpenEnds();
  return items.Count() > 0 ? 0 : 1;
}

int SubtitleEngine::ReadAqTitle(const char* file) {
  Clear();
  SubtitleText src;
  if (src.Open(file, true) != 0) return -1;
  path = file;
  formatName = "AqTitle";
  framesPending = 1;
  float fps = 0.0f;
  char line[kLineBytes], first[kLineBytes], second[kLineBytes];
  while (src.ReadLine(line, kLineBytes) == 0) {
    if (!line[0]) continue;
    int frame;
    if (std::strncmp(line, "-->> ", 5) != 0 || std::sscanf(line + 5, "%d", &frame) != 1) return -1;
    if (src.ReadLine(first, kLineBytes) != 0 || src.ReadLine(second, kLineBytes) != 0) return -1;
    SharedString text(first);
    text += "\n";
    text += second;
    text.TrimRight();
    text.TrimLeft();
    if (frame == 0 && items.Count() == 0) {
      if (!text.IsEmpty()) std::sscanf(text.c_str(), "%f", &fps);
      continue;
    }
    items.Append(new SubtitleItem(frame, 0, text));
  }
  if (fps > 0) ConvertFramesToTime(fps);
  SortByStart();
  FillOpenEnds();
  DropInvalid();
  return items.Count() > 0 ? 0 : 1;
}

int SubtitleEngine::ReadMicroDvdIni(const char* file) {
  Clear();
  SubtitleText src;
  if (src.Open(file, true) != 0) return -1;
  SharedString line;
  src.Stream().ReadLine(line);
  line.TrimRight();
  line.TrimLeft();
  {
    // The header compares byte by byte through the module's case mapping.
    const char* want = "[Micro DVD Ini File]";
    int n = line.Length();
    if (n != static_cast<int>(std::strlen(want))) return -1;
    for (int i = 0; i < n; ++i)
      if (LowerChar(line[i]) != LowerChar(want[i])) return -1;
  }

  SharedString directory(".");
  bool inSection = false;
  bool pending = false;
  IndexEntry next;
  std::vector<IndexEntry> entries;
  while (src.Stream().ReadLine(line) == 0) {
    int semicolon = line.Find(';');
    if (semicolon >= 0) line = line.Left(semicolon);
    line.TrimRight();
    line.TrimLeft();
    if (line.IsEmpty()) continue;
    const char* t = line.c_str();
    if (t[0] == '[') {
      inSection = EqualsNoCase(t, "[SUBTITLES]");
      continue;
    }
    if (!inSection) continue;
    if (StartsWithNoCase(t, "Directory=")) {
      directory = line.Mid(10);
    } else if (t[0] >= '1' && t[0] <= '9' && t[1] == '=' && !pending) {
      next.name = line.Length() > 6 ? line.Mid(6) : SharedString();
      next.file.Empty();
      pending = true;
    } else if (StartsWithNoCase(t, "File=") && pending) {
      next.file = line.Mid(5);
      entries.push_back(next);
      pending = false;
    }
  }
  if (entries.empty()) return -1;

  size_t chosen = 0;
  for (size_t i = 0; i < entries.size(); ++i)
    if (EqualsNoCase(entries[i].name.c_str(), preferredLanguage.c_str())) {
      chosen = i;
      break;
    }
  SharedString folder = CombinePath(DirectoryOf(file).c_str(), directory.c_str());
  if (folder.IsEmpty()) return -1;
  SharedString target = folder;
  target += entries[chosen].file;

  // An index that leads back to one being loaded would never finish.
  std::string self = CanonicalName(file);
  if (t_openIndexes.size() >= kMaxIndexDepth) return -1;
  for (const std::string& open : t_openIndexes)
    if (open == self) return -1;
  t_openIndexes.push_back(self);
  int loaded = Load(target.c_str());
  t_openIndexes.pop_back();
  if (loaded != 0) return -1;

  streams.Clear();
  for (const IndexEntry& e : entries) streams.Append(e.name);
  selectedStream = static_cast<int32_t>(chosen);
  path = file;
  formatName = "MicroDVD-INI";
  return 0;
}
