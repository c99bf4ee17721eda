// QPAK: the codec's word-oriented LZ77 method with a 2 KB window. A band is a sequence of 32-bit
// words; items come in groups of eight behind a flag byte (bit 7 first; 0 literal word, 1 match);
// a match is a 16-bit code: bits 0-10 distance back in bytes, bits 11-15 length - 1 in words.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace qpak {

// Sources shorter than this are never compressed: all their words would be literals anyway.
constexpr size_t kMinCompressBytes = 2176;
constexpr size_t kLiteralPrefixWords = 512;
constexpr size_t kTailWords = 32;
constexpr size_t kWindowFar = 511;
constexpr size_t kWindowNear = 33;
constexpr int kMaxExtra = 31;

// Working memory of the fast encoder (the newest position of each word hash and a ring of links
// to the previous position of the same hash), kept between frames so that coding does not
// allocate.
class Scratch {
 public:
  Scratch();
  ~Scratch();
  // Allocates the memory on first use; false when memory is short.
  bool Reserve();
  uint32_t* head() { return head_.get(); }
  uint32_t* prev() { return prev_.get(); }

 private:
  std::unique_ptr<uint32_t[]> head_;
  std::unique_ptr<uint32_t[]> prev_;
};

// Codes `n` bytes (the whole words of them) into dst. False when the source is shorter than
// kMinCompressBytes, when the stream would exceed `capacity`, or when scratch memory is short;
// the caller then stores the band raw. On success *outLength is the stream length.
bool Compress(const uint8_t* src, size_t n, uint8_t* dst, size_t capacity, size_t* outLength, Scratch* scratch);

// The search written out plainly, position by position over the whole window; makes the same
// decisions as Compress() and serves as its reference.
bool CompressReference(const uint8_t* src, size_t n, uint8_t* dst, size_t capacity, size_t* outLength);

struct DecodeResult {
  size_t written = 0;  // output bytes produced
  bool ok = true;      // false: the stream was malformed and decoding stopped early
};

// Decodes a stream of m bytes into at most `capacity` bytes of dst. Never reads past the stream
// or writes past the capacity; a match reaching before the start of the output, a distance below
// one word, an item cut short or output beyond the capacity stops decoding with ok = false.
DecodeResult Decompress(const uint8_t* src, size_t m, uint8_t* dst, size_t capacity);

// Number of equal words at a[0..] and b[0..], at most 31. Both must have 32 readable words.
using MatchRunFn = int (*)(const uint8_t* a, const uint8_t* b);
// Bit i set when word i of the 64 words at `words` equals `word`. Reads 256 bytes.
using EqualMaskFn = uint64_t (*)(const uint8_t* words, uint32_t word);
struct Kernel {
  const char* name;
  MatchRunFn matchRun;
  EqualMaskFn equalMask;
};
// The plain version first; vector versions this processor supports follow.
const Kernel* Kernels(size_t* count);
// Chooses the kernel the encoder uses (index into Kernels()); tests run each in turn.
void SelectKernel(size_t index);
size_t SelectedKernel();

}  // namespace qpak
