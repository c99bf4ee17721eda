// Blending of prepared text lines (see TextRenderer::Line) over picture rows. A scalar
// reference and an SSE2 version that gives the same bytes; the calls below use the best one.
#pragma once

#include <cstdint>

// YUY2 row of W pixels (2 bytes each) under a prepared YUY2-layout line.
void BlendYuy2(uint8_t* row, const uint32_t* line, int W);
// RGB32 row of W pixels under a prepared RGB-layout line.
void BlendRgb32(uint32_t* row, const uint32_t* line, int W);

struct BlendKernels {
  const char* name;
  void (*yuy2)(uint8_t* row, const uint32_t* line, int W);
  void (*rgb32)(uint32_t* row, const uint32_t* line, int W);
};
// Level 0 scalar, 1 SSE2; null when this processor cannot run it.
const BlendKernels* BlendKernelsFor(int level);

void BlendYuy2Scalar(uint8_t* row, const uint32_t* line, int W);
void BlendRgb32Scalar(uint32_t* row, const uint32_t* line, int W);
void BlendYuy2Sse2(uint8_t* row, const uint32_t* line, int W);
void BlendRgb32Sse2(uint32_t* row, const uint32_t* line, int W);
