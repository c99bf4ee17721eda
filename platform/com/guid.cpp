#include "platform/com/guid.h"

#include <cstdio>

void GuidToString(REFGUID g, char text[39]) {
  std::snprintf(text, 39, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5],
                g.Data4[6], g.Data4[7]);
}

namespace {
int Hex(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

bool GuidFromString(const char* text, GUID* guid) {
  static const char kShape[] = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  if (!text || !guid) return false;
  uint8_t bytes[16];
  int nibble = 0;
  for (int i = 0; kShape[i]; ++i) {
    if (text[i] == 0) return false;
    if (kShape[i] != 'X') {
      if (text[i] != kShape[i]) return false;
      continue;
    }
    int v = Hex(text[i]);
    if (v < 0) return false;
    if (nibble % 2 == 0) bytes[nibble / 2] = static_cast<uint8_t>(v << 4);
    else bytes[nibble / 2] |= static_cast<uint8_t>(v);
    ++nibble;
  }
  if (text[sizeof(kShape) - 1] != 0) return false;
  guid->Data1 = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
  guid->Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
  guid->Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
  for (int i = 0; i < 8; ++i) guid->Data4[i] = bytes[8 + i];
  return true;
}
