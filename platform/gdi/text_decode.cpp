#include "platform/gdi/text_decode.h"

namespace {
// Windows-1252 0x80..0x9F; the five unassigned bytes keep their own values.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Length of the UTF-8 sequence at p (at most n bytes), or 0 when it is not well formed
// (overlong forms, surrogates and values above U+10FFFF included).
int SequenceLength(const unsigned char* p, int n, char32_t* out) {
  unsigned c = p[0];
  if (c < 0x80) { *out = c; return 1; }
  int len;
  char32_t v, min;
  if ((c & 0xE0) == 0xC0) { len = 2; v = c & 0x1F; min = 0x80; }
  else if ((c & 0xF0) == 0xE0) { len = 3; v = c & 0x0F; min = 0x800; }
  else if ((c & 0xF8) == 0xF0) { len = 4; v = c & 0x07; min = 0x10000; }
  else return 0;
  if (len > n) return 0;
  for (int i = 1; i < len; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    v = v << 6 | (p[i] & 0x3F);
  }
  if (v < min || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
  *out = v;
  return len;
}
}  // namespace

bool IsMultiByteUtf8(const char* text, int length) {
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  bool multi = false;
  for (int i = 0; i < length;) {
    char32_t c;
    int len = SequenceLength(p + i, length - i, &c);
    if (len == 0) return false;
    multi |= len > 1;
    i += len;
  }
  return multi;
}

std::u32string DecodeNarrowText(const char* text, int length, int codePage) {
  std::u32string out;
  if (!text || length <= 0) return out;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  out.reserve(length);
  if (IsMultiByteUtf8(text, length)) {
    for (int i = 0; i < length;) {
      char32_t c;
      i += SequenceLength(p + i, length - i, &c);
      out.push_back(c);
    }
    return out;
  }
  for (int i = 0; i < length; ++i) {
    unsigned c = p[i];
    if (codePage == 1252 && c >= 0x80 && c < 0xA0) out.push_back(kCp1252High[c - 0x80]);
    else out.push_back(c);  // Latin-1 agrees with 1252 everywhere else
  }
  return out;
}
