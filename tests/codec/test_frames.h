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

}  // namespace codec_test
