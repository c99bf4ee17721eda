// A picture-sized text layer: text or a coverage picture drawn once, then handed to the frame
// pipeline row by row, premultiplied and in the output's pixel layout.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "filter/colour_converter.h"
#include "platform/gdi/gdi.h"

class SubtitleBitmap;

class TextRenderer {
public:
  TextRenderer(int width, int height);
  TextRenderer(const TextRenderer&) = delete;
  TextRenderer& operator=(const TextRenderer&) = delete;
  virtual ~TextRenderer();

  enum Layout { kNothing = 0, kRgb = 1, kYuy2 = 2 };

  void SetSize(int W, int H);
  void SetStyle(const LOGFONTA& font, int xPos, int yPos, COLORREF colour, int transparent);
  void Clear();
  int RenderText(const char* text);
  int RenderPicture(const SubtitleBitmap& picture);
  int Prepare(int layout);
  // Prepared entries of a layer row (from the top), or null when the row holds nothing.
  const uint32_t* Line(int row) const;

  int Width() const { return width; }
  int Height() const { return height; }
  // Layer pixel at (x, y) from the top: blue, green, red, opacity (tests and tools).
  uint32_t LayerPixel(int x, int y) const;
  bool RowUsed(int row) const { return row >= 0 && row < height && rowUsed[row] != 0; }
  const LOGFONTA& Font() const { return font; }
  // Height of the font actually created, scaled to the layer width.
  LONG ScaledHeight() const { return scaledHeight; }

  // Top-left corner of a w x h box placed by xPos and yPos in the layer.
  void PlaceBox(int w, int h, int& x, int& y) const;

private:
  uint32_t& Px(int x, int y) { return bits[static_cast<size_t>(height - 1 - y) * width + x]; }
  void Release();
  void UpdateRowsUsed(int left, int top, int right, int bottom);
  void Outline(int left, int top, int right, int bottom);

  LOGFONTA font{};
  HFONT fontHandle = nullptr;
  LONG scaledHeight = 0;
  COLORREF colour = 0xFFFFFF;
  int transparent = 1;
  int xPos = 50, yPos = 0;
  HBITMAP layer = nullptr;
  uint32_t* bits = nullptr;
  int width = 0, height = 0;
  std::vector<uint32_t> prepared;
  int preparedLayout = kNothing;
  std::vector<uint8_t> rowUsed;
  ColourConverter converter;
};
