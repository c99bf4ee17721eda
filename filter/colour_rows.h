// Row kernels of the colour converter: a scalar reference and vector versions that give the same
// bytes. The converter picks the best version the processor supports; tests and benchmarks can
// ask for a given one.
#pragma once

#include <cstdint>

struct ColourRowKernels {
  const char* name;
  // Converts the first n rounded down to a multiple of 4 pixels (13-bit fixed point).
  void (*yuy2ToRgb32Main)(uint32_t* dst, const uint8_t* src, int n4);
  // Converts the first n rounded down to a multiple of 4 pixels with the rounding add.
  void (*rgb32To565Main)(uint16_t* dst, const uint32_t* src, int n4);
};

enum ColourKernelLevel { kColourScalar = 0, kColourSse2 = 1, kColourAvx2 = 2 };

// The kernels of one level, or null when this processor cannot run it.
const ColourRowKernels* ColourKernelsFor(int level);
// The fastest kernels this processor runs.
const ColourRowKernels* BestColourKernels();

// Scalar reference for one 4-pixel step each (used by every version for the tail).
void Yuy2ToRgb32MainScalar(uint32_t* dst, const uint8_t* src, int n4);
void Rgb32To565MainScalar(uint16_t* dst, const uint32_t* src, int n4);
void Yuy2ToRgb32MainSse2(uint32_t* dst, const uint8_t* src, int n4);
void Rgb32To565MainSse2(uint16_t* dst, const uint32_t* src, int n4);
void Yuy2ToRgb32MainAvx2(uint32_t* dst, const uint8_t* src, int n4);
void Rgb32To565MainAvx2(uint16_t* dst, const uint32_t* src, int n4);
