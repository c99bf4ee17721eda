// Subtitle texts and coverage pictures come from files: any bytes must draw, prepare and blend
// without touching memory outside the layer. Byte 0 picks one of a few styled layers (fonts are
// made once), byte 1 picks text or picture; the rest is the text, or a picture whose first two
// bytes are its width and height.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "render/text_blend.h"
#include "render/text_renderer.h"
#include "subtitles/subtitle_bitmap.h"

namespace {
TextRenderer& Layer(int which) {
  static std::unique_ptr<TextRenderer> layers[4];
  if (!layers[which]) {
    static const int sizes[4][2] = {{160, 90}, {37, 21}, {64, 200}, {10, 10}};
    static const int positions[4][2] = {{50, 0}, {0, 100}, {94, 94}, {100, 50}};
    layers[which] = std::make_unique<TextRenderer>(sizes[which][0], sizes[which][1]);
    LOGFONTA lf{};
    lf.lfHeight = which == 2 ? 60 : -40;
    lf.lfWeight = which == 1 ? 700 : 400;
    lf.lfItalic = which == 3;
    std::strcpy(lf.lfFaceName, "Arial");
    layers[which]->SetStyle(lf, positions[which][0], positions[which][1], 0xFFFFFF, which == 1 ? 0 : 1);
  }
  return *layers[which];
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  TextRenderer& layer = Layer(data[0] & 3);
  layer.Clear();
  if (data[1] & 1) {
    if (size < 4) return 0;
    SubtitleBitmap picture;
    picture.width = data[2];
    picture.height = data[3];
    size_t n = static_cast<size_t>(picture.width) * picture.height;
    if (n > size - 4) return 0;  // the pixel block is always width x height bytes
    picture.pixels = new uint8_t[n ? n : 1];
    std::memcpy(picture.pixels, data + 4, n);
    layer.RenderPicture(picture);
  } else {
    std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    layer.RenderText(text.c_str());
  }
  int W = layer.Width();
  std::unique_ptr<uint8_t[]> yuy2(new uint8_t[W * 2 + 4]());
  std::unique_ptr<uint32_t[]> rgb(new uint32_t[W + 1]());
  layer.Prepare(TextRenderer::kYuy2);
  for (int y = -1; y <= layer.Height(); ++y)
    if (const uint32_t* line = layer.Line(y)) BlendYuy2(yuy2.get(), line, W);
  layer.Prepare(TextRenderer::kRgb);
  for (int y = -1; y <= layer.Height(); ++y)
    if (const uint32_t* line = layer.Line(y)) BlendRgb32(rgb.get(), line, W);
  return 0;
}
