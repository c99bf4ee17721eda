// The match-length kernel of the encoder: a plain word loop and vector forms of it.
#include <cstring>
#include <immintrin.h>

#include "codec/qpak.h"

namespace qpak {
namespace {

inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

int MatchRunPlain(const uint8_t* a, const uint8_t* b) {
  int k = 0;
  while (k < kMaxExtra && Load32(a + 4 * k) == Load32(b + 4 * k)) ++k;
  return k;
}

uint64_t EqualMaskPlain(const uint8_t* words, uint32_t word) {
  uint64_t mask = 0;
  for (int i = 0; i < 64; ++i) mask |= uint64_t{Load32(words + 4 * i) == word} << i;
  return mask;
}

int MatchRunSse2(const uint8_t* a, const uint8_t* b) {
  for (int i = 0; i < 32; i += 4) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + 4 * i));
    __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 4 * i));
    int mask = _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(x, y)));
    if (mask != 0xF) {
      int k = i + __builtin_ctz(~mask & 0xF);
      return k < kMaxExtra ? k : kMaxExtra;
    }
  }
  return kMaxExtra;
}

uint64_t EqualMaskSse2(const uint8_t* words, uint32_t word) {
  const __m128i w = _mm_set1_epi32(static_cast<int>(word));
  uint64_t mask = 0;
  for (int i = 0; i < 64; i += 8) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + 4 * i));
    __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + 4 * i + 16));
    __m128i e = _mm_packs_epi32(_mm_cmpeq_epi32(x, w), _mm_cmpeq_epi32(y, w));
    mask |= uint64_t{static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(e, e))) & 0xFF} << i;
  }
  return mask;
}

__attribute__((target("avx2"))) uint64_t EqualMaskAvx2(const uint8_t* words, uint32_t word) {
  const __m256i w = _mm256_set1_epi32(static_cast<int>(word));
  uint64_t mask = 0;
  for (int i = 0; i < 64; i += 8) {
    __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(words + 4 * i));
    mask |= uint64_t{static_cast<uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(x, w))))} << i;
  }
  return mask;
}

__attribute__((target("avx512f"))) uint64_t EqualMaskAvx512(const uint8_t* words, uint32_t word) {
  const __m512i w = _mm512_set1_epi32(static_cast<int>(word));
  uint64_t mask = 0;
  for (int i = 0; i < 64; i += 16) {
    __m512i x = _mm512_loadu_si512(words + 4 * i);
    mask |= uint64_t{_mm512_cmpeq_epi32_mask(x, w)} << i;
  }
  return mask;
}

__attribute__((target("avx2"))) int MatchRunAvx2(const uint8_t* a, const uint8_t* b) {
  for (int i = 0; i < 32; i += 8) {
    __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + 4 * i));
    __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + 4 * i));
    int mask = _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(x, y)));
    if (mask != 0xFF) {
      int k = i + __builtin_ctz(~mask & 0xFF);
      return k < kMaxExtra ? k : kMaxExtra;
    }
  }
  return kMaxExtra;
}

struct Table {
  Kernel kernels[4];
  size_t count = 0;
  size_t selected = 0;
  Table() {
    kernels[count++] = {"plain", MatchRunPlain, EqualMaskPlain};
    kernels[count++] = {"sse2", MatchRunSse2, EqualMaskSse2};
    if (__builtin_cpu_supports("avx2")) kernels[count++] = {"avx2", MatchRunAvx2, EqualMaskAvx2};
    // Runs are short: the 256-bit form serves them; whole-window comparisons take 512 bits.
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("avx512f"))
      kernels[count++] = {"avx512", MatchRunAvx2, EqualMaskAvx512};
    selected = count - 1;
  }
};

Table& TheTable() {
  static Table table;
  return table;
}

}  // namespace

const Kernel* Kernels(size_t* count) {
  *count = TheTable().count;
  return TheTable().kernels;
}

void SelectKernel(size_t index) {
  if (index < TheTable().count) TheTable().selected = index;
}

size_t SelectedKernel() { return TheTable().selected; }

}  // namespace qpak
