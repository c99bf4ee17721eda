// Readers of the formats that state clock times in plain text lines: SubRip, SubViewer 1.0 and
// 2.0, TMPlayer and DVDSubtitle. Each rejects foreign files by its own tests, which is what the
// probing by extension relies on.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "subtitles/reader_util.h"
#include "subtitles/subtitle_engine.h"
#include "subtitles/subtitle_text.h"

namespace {
constexpr int kLineBytes = 1024;
}  // namespace

int SubtitleEngine::ReadSubRip(const char* file) {
  Clear();
  SubtitleText src;
  if (src.Open(file, true) != 0) return -1;
  path = file;
  formatName = "SubRip";
  char line[kLineBytes];
  bool got = src.ReadLine(line, kLineBytes) == 0;
  while (got) {
    if (!line[0]) {
      got = src.ReadLine(line, kLineBytes) == 0;
      continue;
    }
    if (std::atol(line) == 0) return -1;  // the counter
    if (src.ReadLine(line, kLineBytes) != 0) return -1;
    char* arrow = std::strstr(line, " --> ");
    if (!arrow) return -1;
    *arrow = 0;
    int32_t start = SubRipTime(line), end = SubRipTime(arrow + 5);
    if (start == -1 || end == -1) return -1;
    // Joined here rather than appended to a SharedString, whose every append measures the text
    // again: an entry of many lines would take quadratic time.
    std::string text;
    while ((got = src.ReadLine(line, kLineBytes) == 0) && line[0]) {
      if (!text.empty()) text += '\n';
      text += line;
    }
    // Real files style their text with a few HTML-like tags; shown as they stand they would
    // appear on the picture, and entries hold plain text.
    items.Append(new SubtitleItem(start, end, SharedString(StripSubRipStyling(text).c_str())));
  }
  SortByStart();
  return items.Count() > 0 ? 0 : 1;
}

int SubtitleEngine::ReadSubViewer1(const char* file) {
  Clear();
  SubtitleText src;
  if (src.Open(file, true) != 0) return -1;
  path = file;
  formatName = "SubViewer 1.0";
  char a[kLineBytes], b[kLineBytes];
  while (src.ReadLine(a, kLineBytes) == 0 && src.ReadLine(b, kLineBytes) == 0) {
    if (EqualsNoCase(a, "[DELAY]")) {
      fileDelay = Saturate(int64_t(Saturate(std::atol(b))) * 1000);  // seconds
      continue;
    }
    int32_t time = SubViewer1Time(a);
    if (time == -1) continue;  // the pair is dropped
    items.Append(new SubtitleItem(time, 0, ReplaceText(b, "|", "\n")));
  }
  SortByStart();
  FillOpenEnds();
  DropInvalid();
  return items.Count() > 0 ? 0 : 1;
}

int SubtitleEngine::ReadSubViewer2(const char* file) {
  Clear();
  SubtitleText src;
  if (src.Open(file, true) != 0) return -1;
  path = file;
  formatName = "SubViewer 2.0";
  char line[kLineBytes], text[kLineBytes];
  while (src.ReadLine(line, kLineBytes) == 0) {
    if (line[0] == '[') {
      if (StartsWithNoCase(line, "[DELAY]"))
        fileDelay = Saturate(int64_t(Saturate(std::atol(line + 7))) * 10);  // hundredths of a second
      continue;
    }
    char* comma = std::strchr(line, ',');
    if (!comma) return -1;
    *comma = 0;
    int32_t start = CentisecondTime(line), end = CentisecondTime(comma + 1);
    if (start == -1 || end == -1) return -1;
    if (src.ReadLine(text, kLineBytes) != 0) return -1;
    items.Append(new SubtitleItem(start, end, ReplaceText(text, "[br]", "\n")));
    if (src.ReadLine(line, kLineBytes) != 0) break;  // the separator; its content is ignored
  }
  SortByStart();
  return items.Count() > 0 ? 0 : 1;
}

int SubtitleEngine::ReadTmPlayer(const char* file) {
  Clear();
  SubtitleText src;
  if (src.Open(file, true) != 0) return -1;
  path = file;
  formatName = "TMPlayer";
  char line[kLineBytes];
  while (src.ReadLine(line, kLineBytes) == 0) {
    if (!line[0]) continue;
    const char* equals = std::strchr(line, '=');
    const char* colon = nullptr;
    int colons = 0;
    for (const char* p = line; *p; ++p)
      if (*p == ':' && ++colons == 3) {
        colon = p;
        break;
      }
    const char* sep = equals && colon ? (equals < colon ? equals : colon) : (equals ? equals : colon);
    if (!sep) return -1;
    if (sep - line > 8) return -1;
    char time[16];
    std::memcpy(time, line, static_cast<size_t>(sep - line));
    time[sep - line] = 0;
    int32_t start = TmPlayerTime(time);
    if (start == -1) return -1;
    items.Append(new SubtitleItem(start, 0, ReplaceText(sep + 1, "|", "\n")));
  }
  SortByStart();
  FillOpenEnds();
  // No entry stays longer than four seconds.
  for (int i = 0; i < items.Count(); ++i) {
    SubtitleItem* item = items[i];
    item->end = Saturate(std::min<int64_t>(item->end, int64_t(item->start) + 4000));
  }
  DropInvalid();
  return items.Count() > 0 ? 0 : 1;
}

namespace {

SharedString Trimmed(const std::string& s) {
  SharedString t(s.c_str());
  t.TrimRight();
  t.TrimLeft();
  return t;
}

}  // namespace

int SubtitleEngine::ReadDvdSubtitle(const char* file) {
  Clear();
  SubtitleText src;
  if (src.Open(file, true) != 0) return -1;
  path = file;
  formatName = "DVDSubtitle";
  const SharedString folder = DirectoryOf(file);
  const std::string& bytes = src.Bytes();
  size_t pos = 0;
  while (true) {
    size_t open = bytes.find('{', pos);
    if (open == std::string::npos) break;
    size_t close = bytes.find('}', open + 1);
    if (close == std::string::npos) break;  // an unfinished block is ignored
    const std::string block = bytes.substr(open + 1, close - open - 1);
    pos = close + 1;

    if (block.compare(0, 2, "T ") == 0) {
      size_t nl = block.find('\n');
      if (nl == std::string::npos) continue;
      SharedString header = Trimmed(block.substr(2, nl - 2));
      SharedString body = Trimmed(block.substr(nl + 1));
      int32_t start = DvdSubtitleTime(header.c_str());
      if (start == -1) return -1;
      int32_t end = 0;
      int at = header.Find(" D=");
      if (at >= 0) {
        int d;
        if (std::sscanf(header.c_str() + at + 3, "%d", &d) != 1) return -1;
        end = Saturate(int64_t(start) + int64_t(d) * 10);
      }
      at = header.Find(" P=");
      if (at >= 0) {
        const char* name = header.c_str() + at + 3;
        const char* stop = name;
        while (static_cast<unsigned char>(*stop) > 0x20) ++stop;
        SharedString picturePath = folder;
        picturePath += SharedString(name).Left(static_cast<int>(stop - name));
        auto* picture = new SubtitleBitmap;
        picture->LoadPicture(picturePath.c_str());  // a missing picture is dropped below
        items.Append(new SubtitleItem(start, end, picture));
      } else {
        items.Append(new SubtitleItem(start, end, body));
      }
    } else if (block.compare(0, 4, "HEAD") == 0) {
      if (items.Count() > 0) return -1;
      size_t at = block.find("SUBDELAY=");
      int delay;
      if (at != std::string::npos && std::sscanf(block.c_str() + at + 9, "%d", &delay) == 1)
        fileDelay = Saturate(int64_t(delay) * 10);
    }
  }
  SortByStart();
  FillOpenEnds();
  DropInvalid();
  return items.Count() > 0 ? 0 : 1;
}
