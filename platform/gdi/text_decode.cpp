#include "platform/gdi/text_decode.h"

#include <vector>

#include "platform/sys/codepage.h"

namespace {
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
    char32_t c = 0;
    int len = SequenceLength(p + i, length - i, &c);
    if (len == 0) return false;
    multi |= len > 1;
    i += len;
  }
  return multi;
}

std::u32string DecodeNarrowText(const char* text, int length) {
  std::u32string out;
  if (!text || length <= 0) return out;
  const auto* p = reinterpret_cast<const unsigned char*>(text);
  out.reserve(length);
  if (IsMultiByteUtf8(text, length)) {
    for (int i = 0; i < length;) {
      char32_t c = 0;
      i += SequenceLength(p + i, length - i, &c);
      out.push_back(c);
    }
    return out;
  }
  // The ANSI code page (Windows-1252 unless the host names another).
  int units = MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
  if (units <= 0) return out;
  std::vector<char16_t> wide(units);
  MultiByteToWideChar(CP_ACP, 0, text, length, wide.data(), units);
  for (int i = 0; i < units; ++i) {
    char32_t c = wide[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
    out.push_back(c);
  }
  return out;
}
