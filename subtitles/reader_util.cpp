#include "subtitles/reader_util.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/sys/path.h"

int32_t Saturate(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(value);
}

int32_t SaturateDouble(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return INT32_MAX;
  if (value <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(value);
}

int32_t SubViewer1Time(const char* text) {
  int h, m, s;
  if (std::sscanf(text, "[%02d:%02d:%02d]", &h, &m, &s) != 3) return -1;
  return Saturate(((int64_t(h) * 60 + m) * 60 + s) * 1000);
}

int32_t CentisecondTime(const char* text) {
  int h, m, s, cs;
  if (std::sscanf(text, "%02d:%02d:%02d.%02d", &h, &m, &s, &cs) != 4) return -1;
  return Saturate((((int64_t(h) * 60 + m) * 60 + s) * 100 + cs) * 10);
}

int32_t SubRipTime(const char* text) {
  int h, m, s, ms;
  if (std::sscanf(text, "%02d:%02d:%02d,%03d", &h, &m, &s, &ms) != 4) return -1;
  return Saturate(((int64_t(h) * 60 + m) * 60 + s) * 1000 + ms);
}

int32_t TmPlayerTime(const char* text) {
  int h, m, s;
  if (std::sscanf(text, "%d:%d:%d", &h, &m, &s) != 3) return -1;
  return Saturate(((int64_t(h) * 60 + m) * 60 + s) * 1000);
}

int32_t DvdSubtitleTime(const char* text) {
  int h, m, s, cs;
  if (std::sscanf(text, "%02d:%02d:%02d:%02d", &h, &m, &s, &cs) != 4) return -1;
  return Saturate((((int64_t(h) * 60 + m) * 60 + s) * 100 + cs) * 10);
}

namespace {
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool StartsWithNoCase(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix)
    if (!*text || AsciiLower(*text) != AsciiLower(*prefix)) return false;
  return true;
}

bool EqualsNoCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (AsciiLower(*a) != AsciiLower(*b)) return false;
  return *a == *b;
}

SharedString ReplaceText(const char* text, const char* from, const char* to) {
  std::string out;
  const size_t n = std::strlen(from);
  for (const char* p = text; *p;) {
    if (std::strncmp(p, from, n) == 0) {
      out += to;
      p += n;
    } else {
      out += *p++;
    }
  }
  return SharedString(out.c_str());
}

SharedString StripBraces(const char* text) {
  std::string out;
  bool inside = false;
  for (const char* p = text; *p; ++p) {
    if (inside) {
      if (*p == '}') inside = false;
    } else if (*p == '{') {
      inside = true;
    } else if (*p != '}') {
      out += *p;
    }
  }
  return SharedString(out.c_str());
}

std::string StripSubRipStyling(const std::string& text) {
  static const char* const kTags[] = {"<i>", "</i>", "<b>", "</b>", "<u>", "</u>", "<s>", "</s>", "</font>"};
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const char* at = text.c_str() + i;
    size_t skip = 0;
    if (*at == '<') {
      for (const char* tag : kTags)
        if (StartsWithNoCase(at, tag)) skip = std::strlen(tag);
      if (!skip && StartsWithNoCase(at, "<font") && (at[5] == ' ' || at[5] == '>')) {
        size_t close = text.find('>', i);
        if (close != std::string::npos) skip = close + 1 - i;
      }
    } else if (at[0] == '{' && at[1] == '\\') {
      size_t close = text.find('}', i);
      if (close != std::string::npos) skip = close + 1 - i;
    }
    if (skip) {
      i += skip;
    } else {
      out += text[i++];
    }
  }
  return out;
}

SharedString DirectoryOf(const char* path) {
  const char* last = std::strrchr(path, kPathSeparator);
  if (!last) return SharedString();
  return SharedString(path).Left(static_cast<int>(last - path) + 1);
}
