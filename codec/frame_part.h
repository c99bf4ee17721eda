// One band of a frame and the coding of frames in one or two bands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "codec/qpak.h"
#include "platform/vfw/vfw.h"

namespace aviqpak {

// A growable byte buffer that reports allocation failure instead of throwing.
class Buffer {
 public:
  bool Reserve(size_t size);
  uint8_t* data() { return data_.get(); }
  size_t size() const { return size_; }
  void Release() {
    data_.reset();
    size_ = 0;
  }

 private:
  std::unique_ptr<uint8_t[]> data_;
  size_t size_ = 0;
};

struct FramePart {
  uint8_t colourMode = 2;
  uint8_t noCompress = 0;
  uint8_t optionFlags = 0;
  uint8_t converterFamily = 1;
  const uint8_t* src = nullptr;  // encode: the band's rows; decode: the band's data
  size_t srcLength = 0;
  uint8_t* dst = nullptr;  // encode: band data; decode: the band's first output row
  size_t capacity = 0;     // encode: room for the band's data
  size_t written = 0;      // encode: length of the band's data
  size_t rawLength = 0;    // the band's rows in the input layout
  int32_t width = 0;
  int32_t rows = 0;  // decode: negative writes packed rows upward
  size_t stride = 0;  // encode: input stride; decode: output stride
  DWORD outCompression = BI_RGB;
  bool error = false;
  // Working memory of the band, owned by the instance.
  Buffer* temp = nullptr;
  qpak::Scratch* scratch = nullptr;
};

// Codes one band: converts it to its YUV layout when the mode asks for one, then stores the QPAK
// stream when one fits the capacity and differs in length from the source, else the source.
void EncodeBand(FramePart& part);
// Decodes one band into its output rows; raw and coded bands are told apart by length.
void DecodeBand(FramePart& part);

// Worst-case length of a coded frame for a raw frame of `rows` rows of `stride` bytes: a split
// frame may keep band A coded up to half the frame while band B, with the extra row of an odd
// height, is stored raw, all behind the 8-byte band header.
size_t MaxFrameLength(size_t rows, size_t stride);

}  // namespace aviqpak
