#include "render/text_blend.h"

#include <emmintrin.h>

void BlendYuy2Scalar(uint8_t* row, const uint32_t* line, int W) {
  // Whole pairs only: an odd last pixel (never produced by the geometry, whose widths are
  // multiples of 4) has no pair of its own in the row and is left alone.
  for (int i = 0; i + 1 < W; i += 2, row += 4) {
    uint32_t p0 = line[i], p1 = line[i + 1];
    int t0 = p0 >> 24, t1 = p1 >> 24;
    if (t0 == 0 && t1 == 0) {
      row[0] = static_cast<uint8_t>(p0);
      row[1] = static_cast<uint8_t>(p0 >> 8);
      row[2] = static_cast<uint8_t>(p1);
      row[3] = static_cast<uint8_t>(p1 >> 8);
    } else if (t0 != 255 || t1 != 255) {
      int t = (t0 + t1) >> 1;
      row[0] = static_cast<uint8_t>((((row[0] - 16) * t0) >> 8) + (p0 & 0xFF));
      row[1] = static_cast<uint8_t>((((row[1] - 128) * t) >> 8) + ((p0 >> 8) & 0xFF));
      row[2] = static_cast<uint8_t>((((row[2] - 16) * t1) >> 8) + (p1 & 0xFF));
      row[3] = static_cast<uint8_t>((((row[3] - 128) * t) >> 8) + ((p1 >> 8) & 0xFF));
    }
  }
}

void BlendRgb32Scalar(uint32_t* row, const uint32_t* line, int W) {
  for (int i = 0; i < W; ++i) {
    uint32_t p = line[i], t = p >> 24;
    if (t == 0) {
      row[i] = p;
    } else if (t != 255) {
      uint32_t d = row[i], out = d & 0xFF000000u;
      for (int k = 0; k < 24; k += 8)
        out |= ((((d >> k) & 0xFF) * t >> 8) + ((p >> k) & 0xFF)) % 256 << k;
      row[i] = out;
    }
  }
}

// Four pixels (two pairs) per step in 16-bit lanes. Each entry's low two bytes are the values
// added to its luma and chroma byte; its top byte is the luma weight, the pair's mean the chroma
// weight. Products are formed in 32 bits so the arithmetic shift sees the exact value.
void BlendYuy2Sse2(uint8_t* row, const uint32_t* line, int W) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i bias = _mm_set1_epi32(128 << 16 | 16);
  const __m128i lowByte = _mm_set1_epi32(0xFF);
  int i = 0;
  for (; i + 4 <= W; i += 4) {
    __m128i e = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + i));
    __m128i t = _mm_srli_epi32(e, 24);
    __m128i tPair = _mm_srli_epi32(_mm_add_epi32(t, _mm_shuffle_epi32(t, 0xB1)), 1);
    __m128i weight = _mm_or_si128(t, _mm_slli_epi32(tPair, 16));
    __m128i add = _mm_or_si128(_mm_and_si128(e, lowByte), _mm_slli_epi32(_mm_and_si128(_mm_srli_epi32(e, 8), lowByte), 16));
    __m128i keep = _mm_cmpeq_epi32(t, lowByte);
    keep = _mm_and_si128(keep, _mm_shuffle_epi32(keep, 0xB1));  // both of the pair transparent
    if (_mm_movemask_epi8(keep) == 0xFFFF) continue;             // no text on these two pairs
    __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + 2 * i));
    __m128i words = _mm_unpacklo_epi8(bytes, zero);
    __m128i s = _mm_sub_epi16(words, bias);
    __m128i lo = _mm_mullo_epi16(s, weight), hi = _mm_mulhi_epi16(s, weight);
    __m128i p0 = _mm_srai_epi32(_mm_unpacklo_epi16(lo, hi), 8);
    __m128i p1 = _mm_srai_epi32(_mm_unpackhi_epi16(lo, hi), 8);
    __m128i scaled = _mm_packs_epi32(p0, p1);
    __m128i sum = _mm_and_si128(_mm_add_epi16(scaled, add), _mm_set1_epi16(0xFF));  // modulo 256
    __m128i out = _mm_or_si128(_mm_and_si128(keep, words), _mm_andnot_si128(keep, sum));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(row + 2 * i), _mm_packus_epi16(out, zero));
  }
  BlendYuy2Scalar(row + 2 * i, line + i, W - i);
}

// Four pixels per step: bytes 0-2 scaled by the pixel's weight and added modulo 256, byte 3
// kept; weight 0 takes the text pixel whole, weight 255 keeps the picture pixel.
void BlendRgb32Sse2(uint32_t* row, const uint32_t* line, int W) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i byte3 = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  int i = 0;
  for (; i + 4 <= W; i += 4) {
    __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + i));
    __m128i t = _mm_srli_epi32(p, 24);
    __m128i clear = _mm_cmpeq_epi32(t, _mm_set1_epi32(255));
    if (_mm_movemask_epi8(clear) == 0xFFFF) continue;  // no text on these four pixels
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i));
    __m128i t2 = _mm_or_si128(t, _mm_slli_epi32(t, 16));  // each weight in both halves
    __m128i tLo = _mm_unpacklo_epi32(t2, t2), tHi = _mm_unpackhi_epi32(t2, t2);
    __m128i dLo = _mm_unpacklo_epi8(d, zero), dHi = _mm_unpackhi_epi8(d, zero);
    __m128i pLo = _mm_unpacklo_epi8(p, zero), pHi = _mm_unpackhi_epi8(p, zero);
    const __m128i mask = _mm_set1_epi16(0xFF);
    __m128i rLo = _mm_and_si128(_mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(dLo, tLo), 8), pLo), mask);
    __m128i rHi = _mm_and_si128(_mm_add_epi16(_mm_srli_epi16(_mm_mullo_epi16(dHi, tHi), 8), pHi), mask);
    __m128i mixed = _mm_packus_epi16(rLo, rHi);
    mixed = _mm_or_si128(_mm_andnot_si128(byte3, mixed), _mm_and_si128(byte3, d));
    __m128i opaque = _mm_cmpeq_epi32(t, zero);
    __m128i out = _mm_or_si128(_mm_and_si128(opaque, p), _mm_andnot_si128(opaque, mixed));
    out = _mm_or_si128(_mm_and_si128(clear, d), _mm_andnot_si128(clear, out));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + i), out);
  }
  BlendRgb32Scalar(row + i, line + i, W - i);
}

namespace {
const BlendKernels kScalarBlend = {"scalar", BlendYuy2Scalar, BlendRgb32Scalar};
const BlendKernels kSse2Blend = {"sse2", BlendYuy2Sse2, BlendRgb32Sse2};

const BlendKernels* Best() {
  static const BlendKernels* best = BlendKernelsFor(1) ? BlendKernelsFor(1) : &kScalarBlend;
  return best;
}
}  // namespace

const BlendKernels* BlendKernelsFor(int level) {
  __builtin_cpu_init();
  if (level == 0) return &kScalarBlend;
  if (level == 1) return __builtin_cpu_supports("sse2") ? &kSse2Blend : nullptr;
  return nullptr;
}

void BlendYuy2(uint8_t* row, const uint32_t* line, int W) { Best()->yuy2(row, line, W); }
void BlendRgb32(uint32_t* row, const uint32_t* line, int W) { Best()->rgb32(row, line, W); }
