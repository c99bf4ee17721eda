// Text drawing and bitmaps: the few drawing-context calls the text layers make, with fontconfig
// choosing the faces and FreeType rasterising them with grey anti-aliasing.
#pragma once

#include "platform/gdi/logfont.h"
#include "platform/sys/types.h"

struct GdiDC;
struct GdiFont;
struct GdiBitmap;
using HDC = GdiDC*;
using HFONT = GdiFont*;
using HBITMAP = GdiBitmap*;

// DrawText formats.
constexpr UINT DT_LEFT = 0x0000;
constexpr UINT DT_CENTER = 0x0001;
constexpr UINT DT_RIGHT = 0x0002;
constexpr UINT DT_WORDBREAK = 0x0010;
constexpr UINT DT_CALCRECT = 0x0400;
constexpr UINT DT_NOPREFIX = 0x0800;

// Background modes.
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;

constexpr int LOGPIXELSY = 90;

// The screen's drawing context (window null) or a window's; this platform has no screen, so it
// is a reference context with 96 pixels per inch.
HDC GetDC(void* window);
int ReleaseDC(void* window, HDC dc);
int GetDeviceCaps(HDC dc, int index);
int GetScreenLogPixelsY();

HDC CreateCompatibleDC(HDC dc);
BOOL DeleteDC(HDC dc);

// A font matched to the description; never null for a valid description (the nearest installed
// face is used). Null only when no font at all is installed.
HFONT CreateFontIndirectA(const LOGFONTA* lf);
// A 32-bit bottom-up bitmap of width x height pixels (blue, green, red, unused), zeroed; *bits
// receives the pixels. Null for sizes <= 0 or too large.
HBITMAP CreateDib32(HDC dc, int width, int height, void** bits);
BOOL DeleteObject(HFONT font);
BOOL DeleteObject(HBITMAP bitmap);

HFONT SelectObject(HDC dc, HFONT font);
HBITMAP SelectObject(HDC dc, HBITMAP bitmap);
int SetBkMode(HDC dc, int mode);
COLORREF SetTextColor(HDC dc, COLORREF colour);

// Measures (DT_CALCRECT) or draws text into the rectangle, lines broken at line feeds and, with
// DT_WORDBREAK, between words. Returns the height of the text, 0 on failure. Characters are
// taken as UTF-8 when the bytes are valid UTF-8 with at least one multi-byte sequence, else in
// the ANSI code page (platform/sys: Windows-1252 unless HOST_ANSI_CODEPAGE names another).
// Ampersands are never prefixes.
int DrawTextExA(HDC dc, const char* text, int length, RECT* rect, UINT format, void* params);
int DrawTextA(HDC dc, const char* text, int length, RECT* rect, UINT format);
BOOL GdiFlush();
