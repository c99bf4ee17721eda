// Exact scaling of 64-bit media times: value x multiplier / divisor with a 128-bit intermediate,
// truncated toward zero, so no product overflows. A result beyond the 64-bit range saturates;
// a zero divisor gives 0.
#pragma once

#include <cstdint>

inline int64_t MulDivTrunc(int64_t value, int64_t multiplier, int64_t divisor) {
  if (divisor == 0) return 0;
  const __int128 q = static_cast<__int128>(value) * multiplier / divisor;
  if (q > INT64_MAX) return INT64_MAX;
  if (q < INT64_MIN) return INT64_MIN;
  return static_cast<int64_t>(q);
}
