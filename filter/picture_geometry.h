// Geometry of the output picture: kept columns, frame size, borders, row placement and doubling.
// Nothing is scaled; these integers decide where source rows go.
#pragma once

#include <cstdint>

#include "control/filter_settings.h"

struct PictureGeometry {
  const FilterSettings* settings;
  float sourceAspectFactor = 0;  // from the upstream picture aspect, 0 when unknown
  bool textAvailable = false;    // subtitles loaded or a time display switched on

  int SquareHeight(int h) const;
  int VisibleWidth(int w, int h) const;
  int AreaHeight(int W, int h) const;
  int OverscanMargin(int W) const;
};

// The source aspect factor from a picture's size and its declared picture aspect ratio
// (x : y): |width x y| / |height x x|, or `current` when either product is below 1.
float SourceAspectFactor(int32_t width, int32_t height, uint32_t aspectX, uint32_t aspectY, float current);

// Where one frame's source goes in the output.
struct FramePlacement {
  int srcX;        // first kept source column
  int marginLeft;  // black columns on the left
  int marginRight; // black columns on the right
  int rowShift;    // output row y shows source row y - rowShift
  int textTop;     // first row of the text area
  int textHeight;  // rows of the text area
};

FramePlacement PlaceFrame(const PictureGeometry& g, int inW, int inH, int outW, int outH);

// Start of row y of a frame of width x |height| pixels, or null outside the frame. YUY2 frames
// are always top-down; a non-zero flip reverses the row order.
uint8_t* RowAddress(uint8_t* base, int y, int width, int height, int bitCount, bool yuy2, int flip);

// Doubles a w x h YUY2 picture (top-down rows, w even) into 2w x 2h.
void DoubleYuy2(uint8_t* dst, const uint8_t* src, int w, int h);

constexpr int floor4(int x) { return x & ~3; }

// Whether a source of this width is doubled before everything else.
inline bool ShouldDouble(const FilterSettings& s, int sourceWidth) {
  return s.bDouble && sourceWidth <= s.Double;
}
