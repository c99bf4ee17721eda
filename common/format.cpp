#include "common/format.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "common/shared_string.h"

int FormatText(char* buffer, const char* format, va_list args) {
  if (!buffer) return 0;
  if (!format) {
    buffer[0] = 0;
    return 0;
  }
  std::vsnprintf(buffer, kFormatTextSize, format, args);
  buffer[kFormatTextSize - 1] = 0;
  return 0;
}

namespace {

constexpr const char* kConversions = "%csdiouxXeEfgGp";
constexpr int kMaxConversion = 20;

int CallFormatText(char* out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  FormatText(out, format, args);
  va_end(args);
  return 0;
}

// Checks the text between '%' and the conversion character and rewrites its size to this
// platform's: "ll"/"I64" become "ll" (64-bit), every other size is dropped (int and double).
// Returns false when the text holds anything else.
bool Normalise(const char* body, size_t length, char conversion, std::string& out, bool* wide,
               int* stars) {
  *wide = false;
  *stars = 0;
  out = "%";
  size_t i = 0;
  while (i < length && std::strchr("-+ #0", body[i])) out += body[i++];
  for (int part = 0; part < 2; ++part) {  // width, then precision
    if (part == 1) {
      if (i < length && body[i] == '.') out += body[i++];
      else break;
    }
    if (i < length && body[i] == '*') {
      out += body[i++];
      ++*stars;
    } else {
      while (i < length && body[i] >= '0' && body[i] <= '9') out += body[i++];
    }
  }
  if (i + 3 <= length && std::strncmp(body + i, "I64", 3) == 0) {
    *wide = true;
    i += 3;
  } else if (i + 2 <= length && std::strncmp(body + i, "ll", 2) == 0) {
    *wide = true;
    i += 2;
  } else if (i + 3 <= length && std::strncmp(body + i, "I32", 3) == 0) {
    i += 3;
  } else {
    while (i < length && std::strchr("hlLqjzt", body[i])) ++i;
  }
  if (i != length) return false;
  if (std::strchr("eEfgGp", conversion)) *wide = false;
  if (*wide) out += "ll";
  out += conversion;
  return true;
}

}  // namespace

int SharedString::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int rc = FormatV(format, args);
  va_end(args);
  return rc;
}

int SharedString::FormatV(const char* format, va_list args) {
  Empty();
  if (!format) return 0;
  std::string out;  // built whole, then stored once
  char piece[kFormatTextSize];
  for (const char* p = format; *p;) {
    if (*p != '%') {
      out.push_back(*p++);
      continue;
    }
    const char* body = ++p;
    while (*p && static_cast<unsigned char>(*p) < 0x80 && !std::strchr(kConversions, *p)) ++p;
    if (*p == 0 || static_cast<unsigned char>(*p) >= 0x80) {
      // An incomplete conversion produces nothing; the ending byte is ordinary text again.
      continue;
    }
    const char conversion = *p++;
    const size_t length = static_cast<size_t>(p - 1 - body);
    if (conversion == '%') {
      out.push_back('%');
      continue;
    }
    std::string normalisedText;
    bool wide = false;
    int stars = 0;
    const bool wellFormed = Normalise(body, length, conversion, normalisedText, &wide, &stars);
    const bool usable = wellFormed && length + 2 < static_cast<size_t>(kMaxConversion);
    const char* normalised = normalisedText.c_str();
    int starValues[2] = {0, 0};
    for (int s = 0; s < stars; ++s) starValues[s] = va_arg(args, int);
    if (conversion == 'c') {
      const char c = static_cast<char>(va_arg(args, int));
      if (c) out.push_back(c);
      continue;
    }
    if (conversion == 's') {
      const char* text = va_arg(args, const char*);
      if (text) out += text;
      continue;
    }
    piece[0] = 0;
    if (std::strchr("eEfgG", conversion)) {
      const double value = va_arg(args, double);
      if (!usable) continue;
      if (stars == 0) CallFormatText(piece, normalised, value);
      else if (stars == 1) CallFormatText(piece, normalised, starValues[0], value);
      else CallFormatText(piece, normalised, starValues[0], starValues[1], value);
    } else if (conversion == 'p') {
      void* value = va_arg(args, void*);
      if (!usable) continue;
      if (stars == 0) CallFormatText(piece, normalised, value);
      else if (stars == 1) CallFormatText(piece, normalised, starValues[0], value);
      else CallFormatText(piece, normalised, starValues[0], starValues[1], value);
    } else if (wide) {
      const long long value = va_arg(args, long long);
      if (!usable) continue;
      if (stars == 0) CallFormatText(piece, normalised, value);
      else if (stars == 1) CallFormatText(piece, normalised, starValues[0], value);
      else CallFormatText(piece, normalised, starValues[0], starValues[1], value);
    } else {
      const int value = va_arg(args, int);
      if (!usable) continue;
      if (stars == 0) CallFormatText(piece, normalised, value);
      else if (stars == 1) CallFormatText(piece, normalised, starValues[0], value);
      else CallFormatText(piece, normalised, starValues[0], starValues[1], value);
    }
    out += piece;
  }
  *this = out.c_str();
  return 0;
}
