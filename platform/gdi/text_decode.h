// Narrow text to code points: UTF-8 when the bytes are valid UTF-8 holding at least one
// multi-byte sequence, otherwise the ANSI code page.
#pragma once

#include <string>

bool IsMultiByteUtf8(const char* text, int length);
std::u32string DecodeNarrowText(const char* text, int length);
