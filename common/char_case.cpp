#include "common/char_case.h"

#include <cctype>

char LowerChar(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b < 0x80) return static_cast<char>(std::tolower(b));
  if (b == 0xAA || b == 0xAF) return static_cast<char>(b + 0x10);
  if ((b >= 0xC0 && b <= 0xD6) || (b >= 0xD8 && b <= 0xDE)) return static_cast<char>(b + 0x20);
  return c;
}

char UpperChar(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b < 0x80) return static_cast<char>(std::toupper(b));
  if (b == 0xBA || b == 0xBF) return static_cast<char>(b - 0x10);
  if ((b >= 0xE0 && b <= 0xF6) || (b >= 0xF8 && b <= 0xFE)) return static_cast<char>(b - 0x20);
  return c;
}
