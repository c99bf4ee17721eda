// Format negotiation and frame decoding for the decompressor side of an instance.
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include "codec/colour.h"
#include "codec/driver.h"

namespace aviqpak {
namespace {

bool SupportedBits(int bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

const QpakFormat* AsQpak(const BITMAPINFOHEADER* h) { return reinterpret_cast<const QpakFormat*>(h); }

bool KnownMode(int mode) { return mode == colour::kRgb24 || colour::IsYuv(mode); }

bool IsPacked(DWORD compression) { return compression == FOURCC_UYVY || compression == FOURCC_YUY2; }

bool WholeRect(INT x, INT y, INT dx, INT dy, LONG width, LONG height) {
  return x == 0 && y == 0 && (dx == -1 || dx == width) && (dy == -1 || dy == std::abs(height));
}

LRESULT CheckInput(const BITMAPINFOHEADER* input) {
  if (!input || !SupportedBits(input->biBitCount) || input->biCompression != kFourCC || input->biSize != 48)
    return ICERR_BADFORMAT;
  if (input->biWidth <= 0 || input->biHeight == 0 || input->biHeight == INT32_MIN || input->biClrUsed > 256)
    return ICERR_BADFORMAT;
  const uint64_t raw = static_cast<uint64_t>(std::abs(input->biHeight)) * DibStride(input->biWidth, input->biBitCount);
  if (raw > kMaxFrameBytes) return ICERR_BADFORMAT;
  // A layout this decoder does not know cannot be turned into pictures.
  if (input->biBitCount == 24 && !KnownMode(AsQpak(input)->colourMode)) return ICERR_BADFORMAT;
  return ICERR_OK;
}

uint32_t GetLe32(const uint8_t* p) {
  return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

void RunBands(Instance* in) {
  if (Settings() & kMultiThreadEnable) {
    try {
      std::thread worker([in] { DecodeBand(in->parts[1]); });
      DecodeBand(in->parts[0]);
      worker.join();
      return;
    } catch (const std::system_error&) {
      // no second thread: decode both bands here
    }
  }
  DecodeBand(in->parts[0]);
  DecodeBand(in->parts[1]);
}

}  // namespace

LRESULT DecompressQuery(Instance*, const DecompressRequest& r) {
  BITMAPINFOHEADER* input = r.input;
  if (LRESULT e = CheckInput(input); e != ICERR_OK) return e;
  if (r.hasRects && !WholeRect(r.xSrc, r.ySrc, r.dxSrc, r.dySrc, input->biWidth, input->biHeight)) return ICERR_BADPARAM;
  const BITMAPINFOHEADER* output = r.output;
  if (!output) return ICERR_OK;
  if (output->biSize != 40 || output->biWidth != input->biWidth || output->biHeight == INT32_MIN ||
      std::abs(output->biHeight) != std::abs(input->biHeight))
    return ICERR_BADFORMAT;
  if (r.hasRects && !WholeRect(r.xDst, r.yDst, r.dxDst, r.dyDst, output->biWidth, output->biHeight))
    return ICERR_BADFORMAT;
  reinterpret_cast<QpakFormat*>(input)->extra = 4;
  if (output->biCompression == BI_RGB && output->biBitCount == input->biBitCount) return ICERR_OK;
  if ((Settings() & kYuvEnable) && output->biBitCount == 16 && IsPacked(output->biCompression) &&
      input->biBitCount == 24 && AsQpak(input)->colourMode != colour::kRgb24)
    return ICERR_OK;
  return ICERR_BADFORMAT;
}

LRESULT DecompressGetFormat(Instance*, const BITMAPINFOHEADER* input, BITMAPINFOHEADER* output) {
  if (CheckInput(input) != ICERR_OK) return ICERR_BADFORMAT;
  const size_t table = 4 * static_cast<size_t>(input->biClrUsed);
  if (!output) return static_cast<LRESULT>(sizeof(BITMAPINFOHEADER) + table);
  BITMAPINFOHEADER h = *input;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biCompression = BI_RGB;
  // The compressed frame size means nothing for the picture; callers size their buffers by this.
  h.biSizeImage = static_cast<DWORD>(std::abs(input->biHeight)) * DibStride(input->biWidth, input->biBitCount);
  std::memcpy(output, &h, sizeof(h));
  if (table)
    std::memmove(reinterpret_cast<uint8_t*>(output) + sizeof(h), reinterpret_cast<const uint8_t*>(input) + input->biSize,
                 table);
  return ICERR_OK;
}

LRESULT DecompressGetPalette(Instance*, const BITMAPINFOHEADER* input, BITMAPINFOHEADER* output) {
  if (!input || !output || input->biBitCount != 8 || output->biBitCount != 8 || input->biClrUsed > 256 ||
      input->biSize < sizeof(BITMAPINFOHEADER) || input->biSize > 48 || output->biSize != sizeof(BITMAPINFOHEADER))
    return ICERR_BADFORMAT;
  const DWORD colours = input->biClrUsed == 0 ? 256 : input->biClrUsed;
  std::memmove(reinterpret_cast<uint8_t*>(output) + output->biSize,
               reinterpret_cast<const uint8_t*>(input) + input->biSize, 4 * static_cast<size_t>(colours));
  output->biClrUsed = colours;
  return ICERR_OK;
}

LRESULT DecompressBegin(Instance* in, const DecompressRequest& r) {
  if (LRESULT e = DecompressQuery(in, r); e != ICERR_OK) return e;
  if (r.output && r.output->biSizeImage == 0)
    r.output->biSizeImage = static_cast<DWORD>(std::abs(r.output->biHeight)) * DibStride(r.output->biWidth, r.output->biBitCount);
  in->decompressing = true;
  return ICERR_OK;
}

LRESULT DecompressEnd(Instance* in) {
  if (!in->decompressing) return ICERR_ERROR;
  in->decompressing = false;
  return ICERR_OK;
}

LRESULT Decompress(Instance* in, const DecompressRequest& r) {
  // The formats are checked on every frame: the output area is computed from them.
  if (!r.output) return ICERR_BADFORMAT;
  if (LRESULT e = DecompressQuery(in, r); e != ICERR_OK) return e;
  const bool once = !in->decompressing;
  if (once) {
    if (LRESULT e = DecompressBegin(in, r); e != ICERR_OK) return e;
  }
  struct EndAfter {
    Instance* in;
    bool once;
    ~EndAfter() {
      if (once) DecompressEnd(in);
    }
  } endAfter{in, once};

  if (r.flags & ICDECOMPRESS_HURRYUP) return ICERR_OK;
  const BITMAPINFOHEADER* input = r.input;
  const BITMAPINFOHEADER* output = r.output;
  const size_t frameLength = input->biSizeImage;
  if (frameLength == 0) return ICERR_OK;  // a null frame repeats the picture already there
  if (!r.inputData || !r.outputData) return ICERR_BADPARAM;

  const bool packed = IsPacked(output->biCompression);
  int32_t rows = output->biHeight;
  if (packed && (Settings() & kInvertHeightYuv)) rows = -std::abs(output->biHeight);
  const int sign = rows < 0 ? -1 : 1;
  const size_t height = static_cast<size_t>(std::abs(rows));
  const uint8_t mode = input->biBitCount == 24 ? AsQpak(input)->colourMode : uint8_t{colour::kRgb24};
  const size_t stride = DibStride(output->biWidth, output->biBitCount);
  const uint8_t* data = static_cast<const uint8_t*>(r.inputData);
  uint8_t* out = static_cast<uint8_t*>(r.outputData);

  auto setup = [&](int index, const uint8_t* src, size_t length, uint8_t* dst, size_t bandRows) {
    FramePart& p = in->parts[index];
    p = FramePart();
    p.colourMode = mode;
    p.converterFamily = in->state.converterFamily;
    p.src = src;
    p.srcLength = length;
    p.dst = dst;
    p.width = output->biWidth;
    p.rows = sign * static_cast<int32_t>(bandRows);
    p.stride = stride;
    p.outCompression = packed ? output->biCompression : BI_RGB;
    p.temp = &in->temp[index];
  };

  if (!(AsQpak(input)->optionFlags & kOptionSplit)) {
    setup(0, data, frameLength, out, height);
    DecodeBand(in->parts[0]);
    return in->parts[0].error ? ICERR_ERROR : ICERR_OK;
  }
  if (frameLength < 8) return ICERR_ERROR;
  const size_t lengthA = GetLe32(data);
  if (lengthA > frameLength - 8) return ICERR_ERROR;
  const size_t rowsA = height / 2;
  const size_t rowsB = height - rowsA;
  // Rows written upward (packed output turned over) put band B's area first, so that the two
  // turned bands make one turned picture; everything else keeps the stored row order.
  const bool upward = packed && rows < 0;
  uint8_t* areaA = upward ? out + rowsB * stride : out;
  uint8_t* areaB = upward ? out : out + rowsA * stride;
  setup(0, data + 8, lengthA, areaA, rowsA);
  setup(1, data + 8 + lengthA, frameLength - 8 - lengthA, areaB, rowsB);
  RunBands(in);
  return in->parts[0].error || in->parts[1].error ? ICERR_ERROR : ICERR_OK;
}

}  // namespace aviqpak
