// printf-style formatting into SharedString (SharedString::Format) and its one-conversion helper.
//
// SharedString::Format walks the format itself: ordinary characters are copied; a conversion is
// collected from '%' up to one of "%csdiouxXeEfgGp" and then
//   %   appends '%';  c  appends the argument's low byte;
//   s   appends the argument text as it is (width and precision are ignored; null appends nothing);
//   d i o u x X   format one 32-bit integer argument (64-bit with the "ll" or "I64" size);
//   e E f g G     format one double argument;
//   p   formats one pointer argument;
// each through FormatText with the collected conversion text, whose result (at most 1023
// characters) is appended. A zero byte or a byte of 0x80 or above inside a conversion ends it
// without output and without taking an argument. A '*' width or precision takes an int argument
// first, as in C. A conversion of 20 characters or more, or one holding anything but flags,
// digits, '.', '*' and sizes, takes its arguments but appends nothing.
#pragma once

#include <cstdarg>

constexpr int kFormatTextSize = 1024;

// vsnprintf into a buffer of kFormatTextSize bytes, always terminated. Returns 0.
int FormatText(char* buffer, const char* format, va_list args);
