// Windows bitmap files as subtitle pictures: each pixel's luma becomes its coverage value.
//
// The file is untrusted: sizes are checked against fixed limits and against the bytes the file
// holds before anything is allocated, so a damaged or hostile header gives an empty picture.
#include <cstring>
#include <new>
#include <vector>

#include "common/file_stream.h"
#include "subtitles/subtitle_bitmap.h"

namespace {

// Largest picture side and pixel count taken from a file (a subtitle picture is far smaller).
constexpr int32_t kMaxSide = 16384;
constexpr int64_t kMaxPixels = int64_t{32} << 20;

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint8_t Luma(int r, int g, int b) {
  int sum = static_cast<int>(r * 0.2989 + 0.5) + static_cast<int>(g * 0.5866 + 0.5) +
            static_cast<int>(b * 0.1145 + 0.5);
  return static_cast<uint8_t>(sum < 255 ? sum : 255);
}

}  // namespace

int SubtitleBitmap::LoadPicture(const char* path) {
  delete[] pixels;
  pixels = nullptr;
  width = height = 0;
  if (!path) return -1;
  FileStream file;
  if (file.Open(path, "rb") != 0) return -1;
  if (file.Seek(0, SEEK_END) != 0) return -1;
  const long fileSize = file.Tell();
  if (fileSize < 54 || file.Seek(0, SEEK_SET) != 0) return -1;

  uint8_t header[54];
  if (file.Read(header, 1, sizeof header) != sizeof header) return -1;
  if (header[0] != 'B' || header[1] != 'M') return -1;
  const uint32_t dataOffset = Le32(header + 10);
  const uint32_t infoSize = Le32(header + 14);
  const int32_t w = static_cast<int32_t>(Le32(header + 18));
  const int32_t h = static_cast<int32_t>(Le32(header + 22));
  const int bits = Le16(header + 28);
  // Smaller (older) information headers have another layout; larger ones are followed by the
  // colour table, wherever they end.
  if (infoSize < 40 || infoSize > 1024) return -1;
  int colours;
  switch (bits) {
    case 24: colours = 0; break;
    case 8: colours = 256; break;
    case 4: colours = 16; break;
    case 1: colours = 2; break;
    default: return -1;
  }
  uint8_t table[256] = {};
  if (colours > 0) {
    if (file.Seek(static_cast<long>(14 + infoSize), SEEK_SET) != 0) return -1;
    uint8_t entries[256 * 4];
    if (file.Read(entries, 4, static_cast<size_t>(colours)) != static_cast<size_t>(colours)) return -1;
    for (int i = 0; i < colours; ++i) table[i] = Luma(entries[4 * i + 2], entries[4 * i + 1], entries[4 * i]);
  }
  if (h == 0) return 0;  // no rows to read
  // A negative height stores the rows top-down.
  const bool topDown = h < 0;
  if (h == INT32_MIN) return -1;
  const int32_t rows = topDown ? -h : h;
  if (w <= 0 || w > kMaxSide || rows > kMaxSide || int64_t(w) * rows > kMaxPixels) return -1;

  const int64_t rowBytes = (int64_t(w) * bits + 31) / 32 * 4;
  if (dataOffset > static_cast<uint64_t>(fileSize) || rowBytes * rows > fileSize - int64_t(dataOffset))
    return -1;  // the pixel data would run past the end of the file
  if (file.Seek(static_cast<long>(dataOffset), SEEK_SET) != 0) return -1;

  auto* block = new (std::nothrow) uint8_t[static_cast<size_t>(w) * rows];
  if (!block) return -1;
  std::vector<uint8_t> row(static_cast<size_t>(rowBytes));
  for (int32_t r = 0; r < rows; ++r) {
    if (file.Read(row.data(), 1, row.size()) != row.size()) {
      delete[] block;
      return -1;
    }
    uint8_t* out = block + static_cast<size_t>(topDown ? r : rows - 1 - r) * w;
    const uint8_t* in = row.data();
    switch (bits) {
      case 24:
        for (int32_t x = 0; x < w; ++x) out[x] = Luma(in[3 * x + 2], in[3 * x + 1], in[3 * x]);
        break;
      case 8:
        for (int32_t x = 0; x < w; ++x) out[x] = table[in[x]];
        break;
      case 4:
        for (int32_t x = 0; x < w; ++x) out[x] = table[(x & 1) ? (in[x / 2] & 0x0F) : (in[x / 2] >> 4)];
        break;
      case 1:
        for (int32_t x = 0; x < w; ++x) out[x] = table[(in[x / 8] >> (7 - (x & 7))) & 1];
        break;
    }
  }
  pixels = block;
  width = w;
  height = rows;
  return 0;
}
