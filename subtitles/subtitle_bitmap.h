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

  int32_t width = 0;
  int32_t height = 0;
  uint8_t* pixels = nullptr;  // width x height bytes, owned (new[])
};
