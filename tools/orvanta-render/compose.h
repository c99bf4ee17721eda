// A generated test picture with text layers blended over it, in the two layouts the filter
// outputs: YUY2 (blended in YUV, then shown as RGB) and RGB32.
#pragma once

#include <cstdint>
#include <vector>

#include "render/text_renderer.h"

// Colour bars over the top half, a luma ramp and a grey field below, as YUY2 rows from the top.
std::vector<uint8_t> MakeTestPictureYuy2(int width, int height);

// Blends every layer's prepared rows over the picture and returns it as RGB32 for viewing.
std::vector<uint32_t> ComposeYuy2(const std::vector<uint8_t>& picture, int width, int height,
                                  const std::vector<TextRenderer*>& layers);
std::vector<uint32_t> ComposeRgb32(const std::vector<uint8_t>& picture, int width, int height,
                                   const std::vector<TextRenderer*>& layers);
