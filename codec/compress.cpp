// Format negotiation and frame coding for the compressor side of an instance.
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <thread>

#include "codec/colour.h"
#include "codec/driver.h"

namespace aviqpak {
namespace {

bool SupportedBits(int bits) { return bits == 8 || bits == 16 || bits == 24 || bits == 32; }

// Sizes the driver can compute with safely; anything else is refused as a bad format.
bool SaneGeometry(const BITMAPINFOHEADER* h) {
  if (h->biWidth <= 0 || h->biHeight == 0 || h->biHeight == INT32_MIN || h->biClrUsed > 256) return false;
  const uint64_t raw = static_cast<uint64_t>(std::abs(h->biHeight)) * DibStride(h->biWidth, h->biBitCount);
  return raw > 0 && raw <= kMaxFrameBytes;
}

LRESULT CheckInput(const BITMAPINFOHEADER* input) {
  if (!input || input->biCompression != BI_RGB || !SupportedBits(input->biBitCount)) return ICERR_BADFORMAT;
  if (input->biBitCount == 32 && (Settings() & kRgb32Disable)) return ICERR_BADFORMAT;
  if (!SaneGeometry(input)) return ICERR_BADFORMAT;
  return ICERR_OK;
}

uint8_t CodingMode(const CodecState& state, int bits) {
  return bits == 24 && (colour::IsYuv(state.colourMode) || state.colourMode == colour::kRgb24) ? state.colourMode
                                                                                             : uint8_t{colour::kRgb24};
}

size_t RawSize(const BITMAPINFOHEADER* h) {
  return static_cast<size_t>(std::abs(h->biHeight)) * DibStride(h->biWidth, h->biBitCount);
}

void Status(Instance* in, UINT what) {
  if (in->statusProc) in->statusProc(in->statusValue, what, 0);
}

void SetupPart(Instance* in, int index, const uint8_t* src, size_t rows, size_t stride, uint8_t* dst, size_t capacity,
               const BITMAPINFOHEADER* input) {
  FramePart& p = in->parts[index];
  p = FramePart();
  p.colourMode = CodingMode(in->state, input->biBitCount);
  p.noCompress = in->state.noCompress;
  p.optionFlags = in->state.optionFlags;
  p.converterFamily = in->state.converterFamily;
  p.src = src;
  p.srcLength = rows * stride;
  p.rawLength = rows * stride;
  p.dst = dst;
  p.capacity = capacity;
  p.width = input->biWidth;
  p.rows = static_cast<int32_t>(rows);
  p.stride = stride;
  p.temp = &in->temp[index];
  p.scratch = &in->scratch[index];
}

// Runs band A here and band B on a second thread when allowed (or after A when not).
void RunBands(Instance* in, void (*work)(FramePart&)) {
  if (Settings() & kMultiThreadEnable) {
    try {
      std::thread worker([in, work] { work(in->parts[1]); });
      work(in->parts[0]);
      worker.join();
      return;
    } catch (const std::system_error&) {
      // no thread to be had: code both bands here
    }
  }
  work(in->parts[0]);
  work(in->parts[1]);
}

void PutLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

LRESULT CompressQuery(Instance*, const BITMAPINFOHEADER* input, const BITMAPINFOHEADER* output) {
  if (LRESULT r = CheckInput(input); r != ICERR_OK) return r;
  if (!output) return ICERR_OK;
  if (output->biCompression != kFourCC || output->biBitCount != input->biBitCount || output->biSize != 48 ||
      output->biWidth != input->biWidth || output->biHeight != input->biHeight)
    return ICERR_BADFORMAT;
  return ICERR_OK;
}

LRESULT CompressGetFormat(Instance* in, const BITMAPINFOHEADER* input, BITMAPINFOHEADER* output) {
  if (CheckInput(input) != ICERR_OK) return ICERR_BADFORMAT;
  const size_t table = 4 * static_cast<size_t>(input->biClrUsed);
  if (!output) return static_cast<LRESULT>(sizeof(QpakFormat) + table);
  QpakFormat f{};
  f.header = *input;
  f.header.biSize = sizeof(QpakFormat);
  f.header.biCompression = kFourCC;
  f.header.biSizeImage = static_cast<DWORD>(CompressGetSize(input));
  f.extra = 4;
  f.colourMode = CodingMode(in->state, 24);
  f.noCompress = in->state.noCompress;
  f.optionFlags = in->state.optionFlags & (kOptionSplit | kOptionNullFrames);
  f.converterFamily = in->state.converterFamily;
  std::memcpy(output, &f, sizeof(f));
  if (table) {
    std::memmove(reinterpret_cast<uint8_t*>(output) + sizeof(f), reinterpret_cast<const uint8_t*>(input) + input->biSize,
                 table);
  }
  return ICERR_OK;
}

// Room a caller must give each coded frame. Reporting only the raw size would let a split frame
// overflow the caller's buffer, so the split worst case is reported whatever the state says.
LRESULT CompressGetSize(const BITMAPINFOHEADER* input) {
  if (!input || !SaneGeometry(input)) return 0;
  return static_cast<LRESULT>(
      MaxFrameLength(static_cast<size_t>(std::abs(input->biHeight)), DibStride(input->biWidth, input->biBitCount)));
}

LRESULT CompressBegin(Instance* in, const BITMAPINFOHEADER* input, const BITMAPINFOHEADER* output) {
  if (LRESULT r = CompressQuery(in, input, output); r != ICERR_OK) return r;
  const size_t size = RawSize(input);
  if (in->previousSize != size || !in->previous.data()) {
    in->previous.Release();
    if (!in->previous.Reserve(size)) return ICERR_MEMORY;
    in->previousSize = size;
  }
  in->previousValid = false;
  in->compressing = true;
  return ICERR_OK;
}

LRESULT CompressEnd(Instance* in) {
  in->previous.Release();
  in->previousSize = 0;
  in->previousValid = false;
  if (!in->compressing) return ICERR_ERROR;
  in->compressing = false;
  return ICERR_OK;
}

LRESULT Compress(Instance* in, ICCOMPRESS* c) {
  if (!c) return ICERR_BADPARAM;
  if (!c->lpbiOutput || CompressQuery(in, c->lpbiInput, c->lpbiOutput) != ICERR_OK) return ICERR_BADFORMAT;
  if (!c->lpInput || !c->lpOutput) return ICERR_BADPARAM;
  const bool once = !in->compressing;
  if (once) {
    if (LRESULT r = CompressBegin(in, c->lpbiInput, c->lpbiOutput); r != ICERR_OK) return r;
  }
  Status(in, ICSTATUS_START);

  const BITMAPINFOHEADER* input = c->lpbiInput;
  const uint8_t* src = static_cast<const uint8_t*>(c->lpInput);
  uint8_t* out = static_cast<uint8_t*>(c->lpOutput);
  const size_t rows = static_cast<size_t>(std::abs(input->biHeight));
  const size_t stride = DibStride(input->biWidth, input->biBitCount);
  const size_t raw = rows * stride;
  LRESULT result = ICERR_OK;
  bool nullFrame = false;
  size_t length = 0;

  if (in->state.optionFlags & kOptionNullFrames) {
    if (in->previousValid && in->previousSize == raw && std::memcmp(in->previous.data(), src, raw) == 0) {
      nullFrame = true;
    } else {
      if (in->previousSize != raw) {  // formats changed since begin
        in->previous.Release();
        in->previousSize = in->previous.Reserve(raw) ? raw : 0;
      }
      if (in->previousSize == raw) {
        std::memcpy(in->previous.data(), src, raw);
        in->previousValid = true;
      }
    }
  }

  if (!nullFrame) {
    if (!(in->state.optionFlags & kOptionSplit)) {
      SetupPart(in, 0, src, rows, stride, out, raw, input);
      EncodeBand(in->parts[0]);
      length = in->parts[0].written;
      if (in->parts[0].error) result = ICERR_MEMORY;
    } else if (!in->bandB.Reserve(raw)) {
      result = ICERR_BADFORMAT;
    } else {
      const size_t rowsA = rows / 2;
      const size_t capacity = raw / 2;
      SetupPart(in, 0, src, rowsA, stride, out + 8, capacity, input);
      SetupPart(in, 1, src + rowsA * stride, rows - rowsA, stride, in->bandB.data(), capacity, input);
      RunBands(in, EncodeBand);
      const size_t lengthA = in->parts[0].written;
      const size_t lengthB = in->parts[1].written;
      std::memcpy(out + 8 + lengthA, in->bandB.data(), lengthB);
      PutLe32(out, static_cast<uint32_t>(lengthA));
      PutLe32(out + 4, static_cast<uint32_t>(rowsA * stride));
      length = 8 + lengthA + lengthB;
      if (in->parts[0].error || in->parts[1].error) result = ICERR_MEMORY;
    }
  }

  c->lpbiOutput->biSizeImage = static_cast<DWORD>(length);
  Status(in, ICSTATUS_END);
  if (c->lpckid) *c->lpckid = MakeTwoCC('d', 'c');
  if (c->lpdwFlags) *c->lpdwFlags = nullFrame ? 0 : AVIIF_KEYFRAME;
  if (once) CompressEnd(in);
  return result;
}

}  // namespace aviqpak
