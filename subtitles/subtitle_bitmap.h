// A picture subtitle: 8-bit coverage values, one byte per pixel, rows from the top.
#pragma once

#include <cstdint>

class SubtitleBitmap {
public:
  SubtitleBitmap() = default;
  SubtitleBitmap(const SubtitleBitmap&) = delete;
  SubtitleBitmap& operator=(const SubtitleBitmap&) = delete;
  virtual ~SubtitleBitmap() { delete[] pixels; }

  bool Empty() const { return pixels == nullptr || width <= 0 || height <= 0; }

  // Reads an uncompressed Windows bitmap file (1, 4, 8 or 24 bits per pixel) as coverage
  // values (the luma of each pixel). 0, or -1 with the bitmap left empty.
  int LoadPicture(const char* path);

  int32_t width = 0;
  int32_t height = 0;
  uint8_t* pixels = nullptr;  // width x height bytes, owned (new[])
};
