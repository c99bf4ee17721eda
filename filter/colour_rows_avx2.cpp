// AVX2 row kernels: the SSE2 arithmetic on both 128-bit lanes, sixteen pixels per step.
#include <immintrin.h>

#include "filter/colour_rows.h"

namespace {
inline void Yuy2Sixteen(uint32_t* dst, __m256i in) {
  const __m256i lowByte = _mm256_set1_epi16(0x00FF);
  __m256i y = _mm256_subs_epu16(_mm256_and_si256(in, lowByte), _mm256_set1_epi16(16));
  __m256i c = _mm256_sub_epi16(_mm256_srli_epi16(in, 8), _mm256_set1_epi16(128));
  __m256i u = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(c, 0xA0), 0xA0);
  __m256i v = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(c, 0xF5), 0xF5);
  const __m256i round = _mm256_set1_epi32(4096);
  const __m256i one = _mm256_set1_epi16(1);
  __m256i yuLo = _mm256_unpacklo_epi16(y, u), yuHi = _mm256_unpackhi_epi16(y, u);
  __m256i yvLo = _mm256_unpacklo_epi16(y, v), yvHi = _mm256_unpackhi_epi16(y, v);
  __m256i v1Lo = _mm256_unpacklo_epi16(v, one), v1Hi = _mm256_unpackhi_epi16(v, one);
  const __m256i kB = _mm256_set1_epi32(16531 << 16 | 9539);
  const __m256i kG1 = _mm256_set1_epi32(static_cast<int>(0xF37D0000u) | 9539);
  const __m256i kG2 = _mm256_set1_epi32(4096 << 16 | (-6660 & 0xFFFF));
  const __m256i kR = _mm256_set1_epi32(13074 << 16 | 9539);
  __m256i bLo = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(yuLo, kB), round), 13);
  __m256i bHi = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(yuHi, kB), round), 13);
  __m256i gLo = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(yuLo, kG1), _mm256_madd_epi16(v1Lo, kG2)), 13);
  __m256i gHi = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(yuHi, kG1), _mm256_madd_epi16(v1Hi, kG2)), 13);
  __m256i rLo = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(yvLo, kR), round), 13);
  __m256i rHi = _mm256_srai_epi32(_mm256_add_epi32(_mm256_madd_epi16(yvHi, kR), round), 13);
  __m256i b = _mm256_packs_epi32(bLo, bHi), g = _mm256_packs_epi32(gLo, gHi), r = _mm256_packs_epi32(rLo, rHi);
  __m256i br = _mm256_packus_epi16(b, r);
  __m256i g0 = _mm256_packus_epi16(g, _mm256_setzero_si256());
  __m256i bg = _mm256_unpacklo_epi8(br, g0);
  __m256i r0 = _mm256_unpackhi_epi8(br, g0);
  __m256i lo = _mm256_unpacklo_epi16(bg, r0);  // pixels 0-3 | 8-11
  __m256i hi = _mm256_unpackhi_epi16(bg, r0);  // pixels 4-7 | 12-15
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst), _mm256_permute2x128_si256(lo, hi, 0x20));
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + 8), _mm256_permute2x128_si256(lo, hi, 0x31));
}

inline __m256i To565Eight(__m256i p) {
  p = _mm256_adds_epu8(p, _mm256_set1_epi32(0x00040204));
  __m256i r = _mm256_and_si256(_mm256_srli_epi32(p, 8), _mm256_set1_epi32(0xF800));
  __m256i g = _mm256_and_si256(_mm256_srli_epi32(p, 5), _mm256_set1_epi32(0x07E0));
  __m256i b = _mm256_and_si256(_mm256_srli_epi32(p, 3), _mm256_set1_epi32(0x001F));
  __m256i v = _mm256_or_si256(_mm256_or_si256(r, g), b);
  return _mm256_srai_epi32(_mm256_slli_epi32(v, 16), 16);
}
}  // namespace

void Yuy2ToRgb32MainAvx2(uint32_t* dst, const uint8_t* src, int n4) {
  int i = 0;
  for (; i + 16 <= n4; i += 16)
    Yuy2Sixteen(dst + i, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + 2 * i)));
  Yuy2ToRgb32MainSse2(dst + i, src + 2 * i, n4 - i);
}

void Rgb32To565MainAvx2(uint16_t* dst, const uint32_t* src, int n4) {
  int i = 0;
  for (; i + 16 <= n4; i += 16) {
    __m256i a = To565Eight(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i)));
    __m256i b = To565Eight(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 8)));
    __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi32(a, b), 0xD8);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(dst + i), packed);
  }
  Rgb32To565MainSse2(dst + i, src + i, n4 - i);
}
