// Table-driven conversions between full-range RGB32 and studio-range YUV (BT.601).
// RGB pixels are 32-bit values as in an RGB32 frame: byte 0 blue, 1 green, 2 red, 3 unused.
#pragma once

#include <cstdint>

#include "filter/colour_rows.h"

class ColourConverter {
public:
  ColourConverter();

  uint8_t Luma(uint32_t rgb) const;
  void RgbToYuv(uint8_t& y, uint8_t& u, uint8_t& v, uint32_t rgb) const;
  uint32_t YuvToRgb(int y, int u, int v) const;
  static uint16_t RgbTo565(uint32_t rgb);

  // Row conversions; the row kernels are the fastest version this processor runs.
  void Yuy2RowToRgb32(uint32_t* dst, const uint8_t* src, int n) const;
  void Rgb32RowTo565(uint16_t* dst, const uint32_t* src, int n) const;
  // One YUY2 pair (Y0 U Y1 V) per two RGB pixels; callers pass count 2.
  void Rgb32PairToYuy2(uint8_t* dst, const uint32_t* src, int count) const;

  int32_t weightR[256];
  int32_t weightG[256];
  int32_t weightB[256];
  uint8_t chromaRange[256];
  uint8_t lumaRange[256];
  uint8_t clamp[896];

private:
  const ColourRowKernels* kernels;
};
