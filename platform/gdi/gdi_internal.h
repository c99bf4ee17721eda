// Objects behind the drawing handles.
#pragma once

#include <vector>

#include "platform/gdi/font.h"
#include "platform/gdi/gdi.h"

struct GdiBitmap {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // bottom-up rows
  GdiDC* selectedInto = nullptr;
};

struct GdiDC {
  HFONT font = nullptr;
  HBITMAP bitmap = nullptr;
  COLORREF textColour = 0;
  int bkMode = OPAQUE;
};

// Lays out and, unless measuring, draws the text; returns the text height.
int LayoutText(GdiDC& dc, const char* text, int length, RECT* rect, UINT format);
