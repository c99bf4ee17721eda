// The named character references (HTML 4.01's set without "sub" and "sup", plus "Zcaron" and
// "zcaron": 252 names), and the decoder that turns text with references into UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/shared_wstring.h"

struct EntityRow {
  uint16_t codePoint;
  char name[10];  // zero-padded ASCII
};
static_assert(sizeof(EntityRow) == 12, "an entity row is 12 bytes");

constexpr int kEntityCount = 252;
// Rows by ascending code point.
extern const EntityRow kEntityRows[kEntityCount];
// Row numbers ordered by name (byte-wise, so upper case sorts first).
extern const int16_t kEntityNameIndex[kEntityCount];

// The code point of the entity whose name is exactly the `length` bytes at `name` (case
// matters), or -1.
int FindEntityByName(const char* name, size_t length);
// The name of the entity for a code point, or null.
const char* FindEntityByCodePoint(char16_t codePoint);

// Decodes "&name;" and "&#decimal;" references into UTF-16. Bytes of 0x80 and above and unknown
// references become '?' and set *errorFlag (cleared first, when given); an '&' without a ';'
// within the next 10 bytes is dropped.
SharedWString DecodeEntities(const char* text, bool* errorFlag = nullptr);
