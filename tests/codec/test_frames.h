// Pictures of different kinds for the codec tests: they decide which paths of the coder run.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

namespace codec_test {

using Bytes = std::vector<uint8_t>;

inline Bytes RandomBytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (auto& v : b) v = static_cast<uint8_t>(rng());
  return b;
}

// Few distinct words, short repeats: many candidates with short matches, the hard case for the
// search order.
inline Bytes FewSymbols(size_t n, uint32_t seed, int symbols) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (size_t i = 0; i + 4 <= n; i += 4) {
    uint32_t s = rng() % symbols;
    for (int k = 0; k < 4; ++k) b[i + k] = static_cast<uint8_t>(s * 37 + k);
  }
  return b;
}

// A picture-like mix: flat areas, gradients, a repeated pattern with edits, some noise.
inline Bytes PictureLike(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) {
    size_t zone = (i / 1500) % 4;
    switch (zone) {
      case 0: b[i] = static_cast<uint8_t>(i % 3 == 0 ? 200 : 40); break;
      case 1: b[i] = static_cast<uint8_t>((i / 3) & 0xFF); break;
      case 2: b[i] = static_cast<uint8_t>((i % 97) * 3 + ((rng() % 50) == 0 ? 1 : 0)); break;
      default: b[i] = static_cast<uint8_t>(rng() % 4 + 100); break;
    }
  }
  return b;
}

// RGB24 rows of a smooth gradient with a little noise: words recur rarely and far apart, as in
// detailed pictures.
inline Bytes GradientRows(size_t width, size_t rows, uint32_t seed) {
  std::mt19937 rng(seed);
  Bytes b;
  for (size_t y = 0; y < rows; ++y)
    for (size_t x = 0; x < width; ++x) {
      const uint8_t noise = (rng() % 8) == 0 ? 1 : 0;
      b.push_back(static_cast<uint8_t>(x * 255 / width + noise));
      b.push_back(static_cast<uint8_t>(y * 10 + x / 64));
      b.push_back(static_cast<uint8_t>((x + y) / 3));
    }
  return b;
}

// A flat RGB24 colour with one changed byte about every `spacing` bytes: each word recurs all
// over the window, and runs end at varied lengths.
inline Bytes FlatWithNoise(size_t n, uint32_t seed, int spacing) {
  std::mt19937 rng(seed);
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i % 3 == 0 ? 30 : i % 3 == 1 ? 140 : 220);
  for (size_t i = rng() % spacing; i < n; i += 1 + rng() % (2 * spacing)) b[i] ^= static_cast<uint8_t>(1 + rng() % 3);
  return b;
}

}  // namespace codec_test
