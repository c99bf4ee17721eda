#include "subtitles/subtitle_files.h"

#include <cstring>

#include "common/char_case.h"
#include "common/file_stream.h"
#include "platform/sys/find_files.h"
#include "platform/sys/path.h"

const LanguageRow LanguageTable[19] = {
    {"Danish", "da"},   {"Dutch", "nl"},     {"English", "en"},    {"Estonian", "et"},
    {"Finnish", "fi"},  {"French", "fr"},    {"German", "de"},     {"Hungarian", "hu"},
    {"Italian", "it"},  {"Japanese", "ja"},  {"Korean", "ko"},     {"Latvian", "lv"},
    {"Lithuanian", "lt"}, {"Norwegian", "no"}, {"Polish", "pl"},  {"Portuguese", "pt"},
    {"Russian", "ru"},  {"Spanish", "es"},   {"Swedish", "sv"},
};

const char* const kSubtitleExtensions[10] = {".srt", ".sub", ".txt", ".smi", ".ssa",
                                             ".js",  ".rt",  ".aqt", ".ini", ".mdv"};

namespace {
bool SameIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (LowerChar(*a) != LowerChar(*b)) return false;
  return *a == *b;
}

bool CanRead(const char* path) {
  FileStream f;
  return f.Open(path, "rb") == 0;
}

// Adds a candidate unless this search already found it (the first occurrence keeps its place).
void AppendCandidate(StringList& list, int first, const SharedString& candidate) {
  for (int i = first; i < list.Count(); ++i)
    if (list.Get(i) == candidate) return;
  list.Append(candidate);
}

bool EndsWithSeparator(const SharedString& s) { return s.Length() > 0 && s[s.Length() - 1] == kPathSeparator; }

// Replaces every occurrence of `from` by `to`, again and again until none is left.
void ReplaceAll(SharedString& s, const char* from, const char* to) {
  int at;
  while ((at = s.Find(from)) >= 0) {
    SharedString rest = s.Mid(at + static_cast<int>(std::strlen(from)));
    SharedString joined = s.Left(at);
    joined += to;
    joined += rest;
    s = joined;
  }
}

void ScanPattern(StringList& list, int first, const SharedString& dir, const SharedString& pattern) {
  SharedString full = dir;
  full += pattern;
  FindData data;
  intptr_t h = FindFirst(full.c_str(), &data);
  if (h == -1) return;
  do {
    if (data.attrib & kFindAttrSubdir) continue;
    SharedString candidate = dir;
    candidate += data.name;
    if (CanRead(candidate.c_str())) AppendCandidate(list, first, candidate);
  } while (FindNext(h, &data) == 0);
  FindClose(h);
}

void ScanStem(StringList& list, int first, const SharedString& dir, const SharedString& stem) {
  static const char* const kMiddles[3] = {"", ".*", "-*"};
  for (const char* middle : kMiddles)
    for (const char* ext : kSubtitleExtensions) {
      SharedString pattern = stem;
      pattern += middle;
      pattern += ext;
      ScanPattern(list, first, dir, pattern);
    }
}
}  // namespace

SharedString LanguageNameFromCode(const char* code) {
  if (!code) return SharedString();
  for (const LanguageRow& row : LanguageTable)
    if (SameIgnoringCase(row.code, code)) return SharedString(row.name);
  return SharedString(code);
}

SharedString CombinePath(const char* base, const char* element) {
  SharedString e(element), result;
  if (e[0] == kPathSeparator) {
    // An absolute element stands for itself.
    result = e;
    if (!EndsWithSeparator(result)) result += kPathSeparatorText;
  } else {
    SharedString b(base);
    if (b.IsEmpty()) return SharedString();  // no folder to be relative to
    result = b;
    if (!EndsWithSeparator(result)) result += kPathSeparatorText;
    result += e;
    if (!EndsWithSeparator(result)) result += kPathSeparatorText;
  }
  ReplaceAll(result, "/./", "/");
  int at;
  while ((at = result.Find("/../")) >= 0) {
    int before = -1;
    for (int i = at - 1; i >= 0; --i)
      if (result[i] == kPathSeparator) {
        before = i;
        break;
      }
    if (before < 0) return SharedString();  // would leave the root
    SharedString joined = result.Left(before + 1);
    joined += result.Mid(at + 4).c_str();
    result = joined;
  }
  return result;
}

int FindSubtitleFiles(StringList& list, const char* searchPath, const char* moviePath) {
  SharedString movie(moviePath), folder, stem;
  int length = movie.Length();
  int end = length;
  for (int i = length - 1; i >= 0; --i) {
    if (movie[i] == '.' && end == length) end = i;  // the first dot met from the end
    if (movie[i] == kPathSeparator) {
      folder = movie.Left(i + 1);
      stem = movie.Mid(i + 1, end - i - 1);
      break;
    }
  }
  StringList elements;
  SharedString(searchPath).Split(';', elements);
  int first = list.Count();
  for (int k = 0; k < elements.Count(); ++k) {
    const SharedString& element = elements.Get(k);
    if (element.IsEmpty()) continue;
    SharedString dir = CombinePath(folder.c_str(), element.c_str());
    if (dir.IsEmpty()) continue;
    if (!stem.IsEmpty()) ScanStem(list, first, dir, stem);
    ScanStem(list, first, dir, SharedString("Subtitles"));
    SharedString file = dir;
    while (EndsWithSeparator(file)) file = file.Left(file.Length() - 1);
    if (!file.IsEmpty() && CanRead(file.c_str())) AppendCandidate(list, first, file);
  }
  return 0;
}
