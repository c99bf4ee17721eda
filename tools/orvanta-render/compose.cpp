#include "tools/orvanta-render/compose.h"

#include <algorithm>

#include "filter/colour_converter.h"
#include "render/text_blend.h"

std::vector<uint8_t> MakeTestPictureYuy2(int width, int height) {
  ColourConverter cc;
  static const uint32_t bars[7] = {0xBFBFBF, 0xBFBF00, 0x00BFBF, 0x00BF00, 0xBF00BF, 0xBF0000, 0x0000BF};
  std::vector<uint8_t> out(static_cast<size_t>(width) * height * 2);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = out.data() + static_cast<size_t>(y) * width * 2;
    for (int x = 0; x + 1 < width; x += 2) {
      uint32_t rgb[2];
      for (int k = 0; k < 2; ++k) {
        int xx = x + k;
        if (y < height / 2) {
          rgb[k] = bars[std::min(6, xx * 7 / width)];
        } else if (y < height * 3 / 4) {
          uint32_t v = static_cast<uint32_t>(xx * 255 / std::max(1, width - 1));
          rgb[k] = v * 0x010101;
        } else {
          rgb[k] = 0x606060;
        }
      }
      cc.Rgb32PairToYuy2(row + 2 * x, rgb, 2);
    }
  }
  return out;
}

std::vector<uint32_t> ComposeYuy2(const std::vector<uint8_t>& picture, int width, int height,
                                  const std::vector<TextRenderer*>& layers) {
  ColourConverter cc;
  std::vector<uint8_t> work(picture);
  for (TextRenderer* layer : layers) layer->Prepare(TextRenderer::kYuy2);
  std::vector<uint32_t> rgb(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = work.data() + static_cast<size_t>(y) * width * 2;
    for (TextRenderer* layer : layers)
      if (const uint32_t* line = layer->Line(y)) BlendYuy2(row, line, width);
    cc.Yuy2RowToRgb32(rgb.data() + static_cast<size_t>(y) * width, row, width);
  }
  return rgb;
}

std::vector<uint32_t> ComposeRgb32(const std::vector<uint8_t>& picture, int width, int height,
                                   const std::vector<TextRenderer*>& layers) {
  ColourConverter cc;
  for (TextRenderer* layer : layers) layer->Prepare(TextRenderer::kRgb);
  std::vector<uint32_t> rgb(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y) {
    uint32_t* row = rgb.data() + static_cast<size_t>(y) * width;
    cc.Yuy2RowToRgb32(row, picture.data() + static_cast<size_t>(y) * width * 2, width);
    for (TextRenderer* layer : layers)
      if (const uint32_t* line = layer->Line(y)) BlendRgb32(row, line, width);
  }
  return rgb;
}
