// The colour layouts of the codec: 24-bit RGB rows converted to one of five YUV band layouts for
// coding, and back to 24-bit RGB or packed UYVY / YUY2 rows for output.
#pragma once

#include <cstddef>
#include <cstdint>

namespace colour {

enum ColourMode : uint8_t {
  kYuv111 = 0,
  kYuv422 = 1,
  kRgb24 = 2,
  kYuv411 = 3,
  kYuv211 = 4,
  kYuv420 = 5,
};

inline bool IsYuv(int mode) { return mode == kYuv111 || mode == kYuv422 || mode == kYuv411 || mode == kYuv211 || mode == kYuv420; }

// Length of a YUV band of `width` pixels and `rows` rows (absolute) in the layout of `mode`.
size_t YuvBandLength(int mode, int32_t width, int32_t rows);

// Converts `rows` rows of 24-bit B,G,R pixels (rows `srcStride` apart, in memory order) into the
// band layout of `mode`; returns the band length.
size_t RgbToYuv(int mode, const uint8_t* src, size_t srcStride, int32_t width, int32_t rows, uint8_t* dst);

// Converts a YUV band back into 24-bit rows, the band's first row at `dst`. Family 1 (the
// default) rounds and writes B,G,R; family 0 truncates and writes R,G,B. Pixels the layout does
// not carry are left as they were.
void YuvToRgb24(int mode, int family, const uint8_t* src, int32_t width, int32_t rows, uint8_t* dst, size_t dstStride);

// Converts a YUV band into packed 16-bit rows (UYVY when `uyvy`, else YUY2). With a negative row
// count the band's first row goes to the last row of the area and the following ones upward.
// Family 0 exchanges the places of U and V.
void YuvToPacked(int mode, int family, bool uyvy, const uint8_t* src, int32_t width, int32_t rows, uint8_t* dst,
                 size_t dstStride);

}  // namespace colour
