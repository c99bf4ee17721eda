// Conversions between SharedString (8-bit) and SharedWString (UTF-16). The mode selects what the
// 8-bit side is:
//    0     the ANSI code page (platform/sys/codepage.h; Windows-1252 unless the user chose another)
//   -1     ASCII with HTML character references ("&eacute;", "&#8364;")
//   -2     UTF-8
//   1252   Windows-1252 from the built-in tables
//   1257   Windows-1257 from the built-in tables
// Any other mode gives the empty string.
#pragma once

#include "common/shared_string.h"
#include "common/shared_wstring.h"

constexpr int kModeAnsi = 0;
constexpr int kModeEntities = -1;
constexpr int kModeUtf8 = -2;

// *lossFlag (cleared first, when given) is set when a character could not be represented.
SharedString ToNarrow(const char16_t* wide, int mode, bool* lossFlag = nullptr);
inline SharedString ToNarrow(const SharedWString& wide, int mode, bool* lossFlag = nullptr) {
  return ToNarrow(wide.c_str(), mode, lossFlag);
}
// *errorFlag (cleared first, when given) is set on malformed input (UTF-8 and reference modes).
SharedWString ToWide(const char* narrow, int mode, bool* errorFlag = nullptr);
inline SharedWString ToWide(const SharedString& narrow, int mode, bool* errorFlag = nullptr) {
  return ToWide(narrow.c_str(), mode, errorFlag);
}

// UTF-16 to UTF-8 unit by unit: surrogate halves are written as three bytes each. Never lossy.
SharedString Utf16ToUtf8(const char16_t* wide, bool* lossFlag = nullptr);
// UTF-8 (one to three bytes per unit) to UTF-16. A stray continuation byte, a four-byte lead or
// a missing continuation sets *errorFlag and ends the conversion, keeping what came before.
SharedWString Utf8ToUtf16(const char* narrow, bool* errorFlag = nullptr);
