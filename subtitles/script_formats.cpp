// Readers of the formats that carry their text inside a richer script: Sub Station Alpha,
// JACOsub and RealText. Styles, directives and markup are dropped; only plain text is kept.
#include <cfloat>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/markup_converter.h"
#include "subtitles/reader_util.h"
#include "subtitles/subtitle_engine.h"
#include "subtitles/subtitle_text.h"

namespace {

constexpr int kLineBytes = 2048;

// The text after the count-th comma of line, or null when the line has fewer commas.
const char* AfterComma(const char* line, int count) {
  const char* p = line;
  for (int i = 0; i < count; ++i) {
    p = std::strchr(p, ',');
    if (!p) return nullptr;
    ++p;
  }
  return p;
}

int32_t ScaleByTimer(int32_t time, float timer) { return SaturateDouble(double(time) * double(timer) / 100.0); }

SharedString SsaText(const char* field) {
  SharedString text = ReplaceText(field, "\\n", "\n");
  text = ReplaceText(text.c_str(), "\\N", "\n");
  text = StripBraces(text.c_str());
  const char* p = text.c_str();
  while (*p == ',') ++p;
  return SharedString(p);
}

SharedString JacoText(const char* text) {
  std::string out;
  bool active = true, escape = false;
  for (const char* p = text; *p; ++p) {
    const char c = *p;
    if (escape) {
      escape = false;
      if (c == 'n') out += '\n';
      else if (c == '\\' || c == '{' || c == '~') out += c;
      else if ((c == 'C' || c == 'F') && p[1]) ++p;  // a colour or font code and its argument
      continue;
    }
    if (c == '\\') {
      if (active) escape = true;
    } else if (c == '{') {
      active = false;
    } else if (c == '}') {
      active = true;
    } else if (active) {
      out += c == '~' ? ' ' : c;
    }
  }
  return SharedString(out.c_str());
}

// "h:m:s.f", "m:s", "s" and so on: colon-separated groups, then seconds with a fraction.
int32_t RealTextTime(const char* text) {
  int64_t acc = 0;
  const char* p = text;
  for (const char* colon; (colon = std::strchr(p, ':')) != nullptr; p = colon + 1) {
    int group;
    if (std::sscanf(p, "%d:", &group) != 1) return -1;
    acc = acc * 60 + group;
    if (acc > INT32_MAX || acc < INT32_MIN) acc = acc > 0 ? int64_t(INT32_MAX) : int64_t(INT32_MIN);
  }
  float seconds;
  if (std::sscanf(p, "%f", &seconds) != 1) return -1;
  const float ms = seconds * 1000.0f;
  return Saturate(acc * 60000 + SaturateDouble(ms));
}

// Markup whose "time" tags cut the text into entries. The text is not emptied at a time tag,
// only by "clear", so it accumulates. A file of many time tags without a clear would make
// memory and work grow with the square of its size: text longer than any screen holds
// (kMaxTextBytes) starts over at the next tag, and the text stored in all entries together is
// bounded.
class RealTextConverter : public MarkupConverter {
public:
  static constexpr int kMaxTextBytes = 1024;
  static constexpr size_t kMaxStoredBytes = 16u << 20;

  explicit RealTextConverter(SubtitleItemList& items) : m_items(items) {}

  int HandleTag(const char* tag) override {
    if (IsTag(tag, "time")) {
      FlushEntry();
      m_begin = RealTextTime(GetAttribute(tag, "begin").c_str());
      m_end = RealTextTime(GetAttribute(tag, "end").c_str());
      if (m_end == -1) m_end = 0;
    } else if (IsTag(tag, "clear")) {
      output.Empty();
    } else {
      MarkupConverter::HandleTag(tag);
    }
    if (output.Length() > kMaxTextBytes) output.Empty();
    return 0;
  }

  void FlushEntry() {
    if (m_begin == -1) return;
    m_stored += static_cast<size_t>(output.Length());
    if (m_stored > kMaxStoredBytes) return;
    m_items.Append(new SubtitleItem(m_begin, m_end, GetText()));
  }

private:
  SubtitleItemList& m_items;
  int32_t m_begin = -1;
  int32_t m_end = 0;
  size_t m_stored = 0;
};

}  // namespace

int SubtitleEngine::ReadSubStationAlpha(const char* file) {
  Clear();
  SubtitleText src;
  if (src.Open(file, true) != 0) return -1;
  path = file;
  formatName = "Sub Station Alpha";
  int fieldCount = 8;
  float timer = 100.0f;
  char line[kLineBytes];
  while (src.ReadLine(line, kLineBytes) == 0) {
    if (StartsWithNoCase(line, "Timer: ")) {
      const double value = std::atof(line + 7);
      if (value > 0) timer = value < FLT_MAX ? static_cast<float>(value) : FLT_MAX;
      continue;
    }
    if (StartsWithNoCase(line, "ScriptType: ")) {
      const char* version = line + 12;
      if (StartsWithNoCase(version, "v3.")) fieldCount = 8;
      else if (StartsWithNoCase(version, "v4.")) fieldCount = 9;
      else return -1;
      continue;
    }
    const bool dialogue = StartsWithNoCase(line, "Dialogue:");
    if (!dialogue && !StartsWithNoCase(line, "Picture:")) continue;
    const char* last = AfterComma(line, fieldCount);
    if (!last) return -1;
    int32_t start = CentisecondTime(AfterComma(line, 1));
    int32_t end = CentisecondTime(AfterComma(line, 2));
    if (start == -1 || end == -1) return -1;
    start = ScaleByTimer(start, timer);
    end = ScaleByTimer(end, timer);
    if (dialogue) {
      items.Append(new SubtitleItem(start, end, SsaText(last)));
    } else {
      // The name as written: a relative one is taken from the current folder.
      auto* picture = new SubtitleBitmap;
      picture->LoadPicture(last);
      items.Append(new SubtitleItem(start, end, picture));
    }
  }
  SortByStart();
  return items.Count() > 0 ? 0 : 1;
}

int SubtitleEngine::ReadJacoSub(const char* file) {
  Clear();
  SubtitleText src;
  if (src.Open(file, true) != 0) return -1;
  path = file;
  formatName = "JACOsub";
  char line[kLineBytes];
  while (src.ReadLine(line, kLineBytes) == 0) {
    if (!line[0] || line[0] == '#') continue;
    char* first = std::strchr(line, ' ');
    char* second = first ? std::strchr(first + 1, ' ') : nullptr;
    char* third = second ? std::strchr(second + 1, ' ') : nullptr;
    if (!third) return -1;
    *first = 0;
    *second = 0;
    int32_t start = CentisecondTime(line), end = CentisecondTime(first + 1);
    if (start == -1 || end == -1) return -1;
    items.Append(new SubtitleItem(start, end, JacoText(third + 1)));
  }
  SortByStart();
  return items.Count() > 0 ? 0 : 1;
}

int SubtitleEngine::ReadRealText(const char* file) {
  Clear();
  SubtitleText src;
  if (src.Open(file, false) != 0 || src.Bytes().empty()) return -1;
  path = file;
  formatName = "RealText";
  RealTextConverter converter(items);
  converter.Feed(src.Bytes().c_str());
  converter.FlushEntry();
  SortByStart();
  FillOpenEnds();
  DropInvalid();
  return items.Count() > 0 ? 0 : 1;
}
