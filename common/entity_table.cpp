#include "common/entity_table.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "common/entity_table.inc"

int FindEntityByName(const char* name, size_t length) {
  if (!name) return -1;
  int low = 0, high = kEntityCount - 1;
  while (low <= high) {
    const int mid = (low + high) / 2;
    const EntityRow& row = kEntityRows[kEntityNameIndex[mid]];
    const size_t rowLength = strnlen(row.name, sizeof(row.name));
    int cmp = std::memcmp(name, row.name, length < rowLength ? length : rowLength);
    if (cmp == 0) cmp = length < rowLength ? -1 : (length > rowLength ? 1 : 0);
    if (cmp == 0) return row.codePoint;
    if (cmp < 0) high = mid - 1;
    else low = mid + 1;
  }
  return -1;
}

const char* FindEntityByCodePoint(char16_t codePoint) {
  int low = 0, high = kEntityCount - 1;
  while (low <= high) {
    const int mid = (low + high) / 2;
    const uint16_t cp = kEntityRows[mid].codePoint;
    if (cp == codePoint) return kEntityRows[mid].name;
    if (cp < codePoint) low = mid + 1;
    else high = mid - 1;
  }
  return nullptr;
}

SharedWString DecodeEntities(const char* text, bool* errorFlag) {
  if (errorFlag) *errorFlag = false;
  std::u16string out;
  if (!text) return SharedWString();
  const size_t length = std::strlen(text);
  out.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte >= 0x80) {
      out.push_back(u'?');
      if (errorFlag) *errorFlag = true;
      continue;
    }
    if (byte != '&') {
      out.push_back(byte);
      continue;
    }
    const char* semi = static_cast<const char*>(std::memchr(text + i, ';', length - i));
    if (!semi || semi - (text + i) > 10) continue;  // a lone '&' is dropped
    const char* name = text + i + 1;
    const size_t nameLength = static_cast<size_t>(semi - name);
    int code = 0;
    if (nameLength > 0 && name[0] == '#') {
      char digits[16] = {};
      std::memcpy(digits, name + 1, nameLength - 1);  // at most 9 bytes
      code = static_cast<uint16_t>(std::atol(digits));
    }
    if (code == 0) code = FindEntityByName(name, nameLength);
    if (code > 0) {
      out.push_back(static_cast<char16_t>(code));
    } else {
      out.push_back(u'?');
      if (errorFlag) *errorFlag = true;
    }
    i = static_cast<size_t>(semi - text);
  }
  return SharedWString(out.c_str());
}
