// Blending of prepared text lines (see TextRenderer::Line) over picture rows.
#pragma once

#include <cstdint>

// YUY2 row of W pixels (2 bytes each) under a prepared YUY2-layout line.
void BlendYuy2(uint8_t* row, const uint32_t* line, int W);
// RGB32 row of W pixels under a prepared RGB-layout line.
void BlendRgb32(uint32_t* row, const uint32_t* line, int W);
