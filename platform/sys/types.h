// Fixed-width names for the data the modules exchange with their hosts. The sizes are those of
// the original 32-bit records (LONG and DWORD are 32 bits even on this 64-bit platform); values
// that carry pointers (LPARAM, WPARAM, LRESULT) are pointer-sized.
#pragma once

#include <cstdint>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using UINT = uint32_t;
using INT = int32_t;
using BOOL = int32_t;
using LONGLONG = int64_t;
using ULONGLONG = uint64_t;
using WCHAR = char16_t;
using LPARAM = intptr_t;
using WPARAM = uintptr_t;
using LRESULT = intptr_t;

// A rectangle in the original layout (16 bytes): drawing boxes, stream frames.
struct RECT {
  LONG left, top, right, bottom;
};
static_assert(sizeof(RECT) == 16);

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

// Result codes of kernel and registry calls.
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_OUTOFMEMORY = 14;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_BADDB = 1009;
constexpr LONG ERROR_KEY_HAS_CHILDREN = 1020;
