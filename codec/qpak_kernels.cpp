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
  Kernel kernels[3];
  size_t count = 0;
  size_t selected = 0;
  Table() {
    kernels[count++] = {"plain", MatchRunPlain};
    kernels[count++] = {"sse2", MatchRunSse2};
    if (__builtin_cpu_supports("avx2")) kernels[count++] = {"avx2", MatchRunAvx2};
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
