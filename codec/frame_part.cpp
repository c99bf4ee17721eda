#include "codec/frame_part.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "codec/colour.h"

namespace aviqpak {

bool Buffer::Reserve(size_t size) {
  if (size <= size_ && data_) return true;
  data_.reset(new (std::nothrow) uint8_t[size == 0 ? 1 : size]);
  size_ = data_ ? size : 0;
  return data_ != nullptr;
}

size_t MaxFrameLength(size_t rows, size_t stride) {
  const size_t raw = rows * stride;
  const size_t split = 8 + raw / 2 + (rows - rows / 2) * stride;
  return split > raw ? split : raw;
}

void EncodeBand(FramePart& part) {
  const uint8_t* source = part.src;
  size_t length = part.srcLength;
  if (colour::IsYuv(part.colourMode)) {
    if (!part.temp->Reserve(part.srcLength)) {
      part.error = true;
      part.written = 0;
      return;
    }
    length = colour::RgbToYuv(part.colourMode, part.src, part.stride, part.width, part.rows, part.temp->data());
    source = part.temp->data();
  }
  // A coded band carries whole words only, so a band with a partial last word is stored raw to
  // keep its last bytes.
  size_t coded = 0;
  if (!part.noCompress && length % 4 == 0 &&
      qpak::Compress(source, length, part.dst, part.capacity, &coded, part.scratch) && coded != length) {
    part.written = coded;
    return;
  }
  std::memcpy(part.dst, source, length);
  part.written = length;
}

void DecodeBand(FramePart& part) {
  const size_t rows = static_cast<size_t>(std::abs(part.rows));
  if (!colour::IsYuv(part.colourMode)) {
    const size_t raw = rows * part.stride;
    if (part.srcLength == raw) {
      std::memcpy(part.dst, part.src, raw);
    } else if (!qpak::Decompress(part.src, part.srcLength, part.dst, raw).ok) {
      part.error = true;
    }
    return;
  }
  const size_t yuvLength = colour::YuvBandLength(part.colourMode, part.width, part.rows);
  const uint8_t* yuv = part.src;
  if (part.srcLength != yuvLength) {
    const size_t rgbRaw = rows * DibStride(part.width, 24);
    if (!part.temp->Reserve(rgbRaw)) {
      part.error = true;
      return;
    }
    const qpak::DecodeResult r = qpak::Decompress(part.src, part.srcLength, part.temp->data(), rgbRaw);
    if (r.written < yuvLength) std::memset(part.temp->data() + r.written, 0, yuvLength - r.written);
    if (!r.ok) part.error = true;
    yuv = part.temp->data();
  }
  if (part.outCompression == BI_RGB)
    colour::YuvToRgb24(part.colourMode, part.converterFamily, yuv, part.width, part.rows, part.dst, part.stride);
  else
    colour::YuvToPacked(part.colourMode, part.converterFamily, part.outCompression == FOURCC_UYVY, yuv, part.width,
                        part.rows, part.dst, part.stride);
}

}  // namespace aviqpak
