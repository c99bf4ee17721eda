// Small pieces the subtitle readers share: the time notations, saturating arithmetic for
// values taken from files, and text helpers.
#pragma once

#include <cstdint>
#include <string>

#include "common/shared_string.h"

// Time notations read with sscanf; -1 when not every field was read.
int32_t SubViewer1Time(const char* text);   // "[%02d:%02d:%02d]"
int32_t CentisecondTime(const char* text);  // "%02d:%02d:%02d.%02d"
int32_t SubRipTime(const char* text);       // "%02d:%02d:%02d,%03d"
int32_t TmPlayerTime(const char* text);     // "%d:%d:%d"
int32_t DvdSubtitleTime(const char* text);  // "%02d:%02d:%02d:%02d"

// A value from a file, brought into the signed 32-bit range (files may state anything).
int32_t Saturate(int64_t value);
int32_t SaturateDouble(double value);  // truncated toward zero; NaN gives 0

// ASCII case-insensitive comparisons.
bool StartsWithNoCase(const char* text, const char* prefix);
bool EqualsNoCase(const char* a, const char* b);

// Every occurrence of `from` replaced by `to`, in one left-to-right pass.
SharedString ReplaceText(const char* text, const char* from, const char* to);
// Drops every span from '{' to the next '}' (an unclosed '{' drops the rest, a stray '}' goes
// too).
SharedString StripBraces(const char* text);

// SubRip text without its styling: <i> <b> <u> <s> and their closing tags, <font ...> and
// </font> (any case), and "{\...}" override blocks. Anything else that looks like a tag is text.
std::string StripSubRipStyling(const std::string& text);

// The folder part of a path, up to and including its last separator; empty without one.
SharedString DirectoryOf(const char* path);
