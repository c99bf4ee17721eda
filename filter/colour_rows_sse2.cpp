// SSE2 row kernels: eight pixels per step in 32-bit lanes, so every intermediate is exact and the
// bytes equal the scalar reference.
#include <emmintrin.h>

#include "filter/colour_rows.h"

namespace {
// Eight YUY2 pixels (16 bytes) to eight RGB32 pixels (32 bytes).
inline void Yuy2Eight(uint32_t* dst, __m128i in) {
  const __m128i lowByte = _mm_set1_epi16(0x00FF);
  __m128i y = _mm_subs_epu16(_mm_and_si128(in, lowByte), _mm_set1_epi16(16));
  __m128i c = _mm_sub_epi16(_mm_srli_epi16(in, 8), _mm_set1_epi16(128));  // U0 V0 U1 V1 ...
  __m128i u = _mm_shufflehi_epi16(_mm_shufflelo_epi16(c, 0xA0), 0xA0);     // U0 U0 U1 U1 ...
  __m128i v = _mm_shufflehi_epi16(_mm_shufflelo_epi16(c, 0xF5), 0xF5);     // V0 V0 V1 V1 ...
  const __m128i round = _mm_set1_epi32(4096);
  __m128i yuLo = _mm_unpacklo_epi16(y, u), yuHi = _mm_unpackhi_epi16(y, u);
  __m128i yvLo = _mm_unpacklo_epi16(y, v), yvHi = _mm_unpackhi_epi16(y, v);
  __m128i v1Lo = _mm_unpacklo_epi16(v, _mm_set1_epi16(1)), v1Hi = _mm_unpackhi_epi16(v, _mm_set1_epi16(1));
  const __m128i kB = _mm_set1_epi32(16531 << 16 | 9539);
  const __m128i kG1 = _mm_set1_epi32(static_cast<int>(0xF37D0000u) | 9539);  // (9539, -3203)
  const __m128i kG2 = _mm_set1_epi32(4096 << 16 | (-6660 & 0xFFFF));         // (-6660, 4096)
  const __m128i kR = _mm_set1_epi32(13074 << 16 | 9539);
  __m128i bLo = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(yuLo, kB), round), 13);
  __m128i bHi = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(yuHi, kB), round), 13);
  __m128i gLo = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(yuLo, kG1), _mm_madd_epi16(v1Lo, kG2)), 13);
  __m128i gHi = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(yuHi, kG1), _mm_madd_epi16(v1Hi, kG2)), 13);
  __m128i rLo = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(yvLo, kR), round), 13);
  __m128i rHi = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(yvHi, kR), round), 13);
  __m128i b = _mm_packs_epi32(bLo, bHi), g = _mm_packs_epi32(gLo, gHi), r = _mm_packs_epi32(rLo, rHi);
  __m128i br = _mm_packus_epi16(b, r);                    // B0..B7 R0..R7
  __m128i g0 = _mm_packus_epi16(g, _mm_setzero_si128());  // G0..G7 0..0
  __m128i bg = _mm_unpacklo_epi8(br, g0);                 // B G pairs
  __m128i r0 = _mm_unpackhi_epi8(br, g0);                 // R 0 pairs
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_unpacklo_epi16(bg, r0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 4), _mm_unpackhi_epi16(bg, r0));
}

// Four RGB32 pixels to four 565 values held in sign-extended 32-bit lanes.
inline __m128i To565Four(__m128i p) {
  p = _mm_adds_epu8(p, _mm_set1_epi32(0x00040204));
  __m128i r = _mm_and_si128(_mm_srli_epi32(p, 8), _mm_set1_epi32(0xF800));
  __m128i g = _mm_and_si128(_mm_srli_epi32(p, 5), _mm_set1_epi32(0x07E0));
  __m128i b = _mm_and_si128(_mm_srli_epi32(p, 3), _mm_set1_epi32(0x001F));
  __m128i v = _mm_or_si128(_mm_or_si128(r, g), b);
  return _mm_srai_epi32(_mm_slli_epi32(v, 16), 16);  // so the signed pack keeps the bits
}
}  // namespace

void Yuy2ToRgb32MainSse2(uint32_t* dst, const uint8_t* src, int n4) {
  int i = 0;
  for (; i + 8 <= n4; i += 8)
    Yuy2Eight(dst + i, _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * i)));
  Yuy2ToRgb32MainScalar(dst + i, src + 2 * i, n4 - i);
}

void Rgb32To565MainSse2(uint16_t* dst, const uint32_t* src, int n4) {
  int i = 0;
  for (; i + 8 <= n4; i += 8) {
    __m128i a = To565Four(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i)));
    __m128i b = To565Four(_mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 4)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packs_epi32(a, b));
  }
  Rgb32To565MainScalar(dst + i, src + i, n4 - i);
}
