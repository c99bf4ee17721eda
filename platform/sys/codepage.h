// The ANSI code page and conversions between it (or another code page) and UTF-16.
//
// The ANSI code page is Windows-1252 unless the environment variable HOST_ANSI_CODEPAGE names
// another one by its number (for example HOST_ANSI_CODEPAGE=1257 for Baltic text, 1251 for
// Cyrillic, 65001 for UTF-8). A value that is not a number, or a code page this host cannot
// convert, is reported once on standard error and 1252 is used. Code pages 1252 and 1257 are
// converted with built-in tables that match the original platform exactly, best-fit
// substitutes included (U+FF5A fullwidth z becomes "z"); any other goes through the host's
// iconv, without best fit.
#pragma once

#include <cstdint>

#include "platform/sys/types.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;

UINT GetACP();

// Converts `srcLen` bytes (-1: up to and including the terminating zero) to UTF-16. With
// dstLen 0 returns the number of units needed; otherwise the number written, or 0 when dst is
// too small. Bytes that do not form a character become '?'.
int MultiByteToWideChar(UINT codePage, DWORD flags, const char* src, int srcLen, char16_t* dst,
                        int dstLen);
// Converts `srcLen` units (-1: up to and including the terminating zero) to the code page.
// Characters it lacks become *defaultChar ('?' when null) and set *usedDefaultChar. Returns
// as MultiByteToWideChar does.
int WideCharToMultiByte(UINT codePage, DWORD flags, const char16_t* src, int srcLen, char* dst,
                        int dstLen, const char* defaultChar, BOOL* usedDefaultChar);

// The built-in tables (code pages 1252 and 1257).
bool HasBuiltinCodePage(UINT codePage);
// The character of one byte in a built-in code page.
char16_t BuiltinByteToUnit(UINT codePage, uint8_t byte);
// The byte for one unit, best fit included, or -1 when the code page has none.
int BuiltinUnitToByte(UINT codePage, char16_t unit);
