// Interlocked counters: sequentially consistent atomic operations on plain 32-bit cells, as the
// product code's reference counts expect (the cell is an ordinary LONG shared between threads).
#pragma once

#include "platform/sys/types.h"

inline LONG InterlockedIncrement(volatile LONG* cell) {
  return __atomic_add_fetch(cell, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(volatile LONG* cell) {
  return __atomic_sub_fetch(cell, 1, __ATOMIC_SEQ_CST);
}
// Returns the value before the addition.
inline LONG InterlockedExchangeAdd(volatile LONG* cell, LONG value) {
  return __atomic_fetch_add(cell, value, __ATOMIC_SEQ_CST);
}
// Returns the previous value.
inline LONG InterlockedExchange(volatile LONG* cell, LONG value) {
  return __atomic_exchange_n(cell, value, __ATOMIC_SEQ_CST);
}
// Stores `exchange` when the cell holds `comparand`; returns the previous value either way.
inline LONG InterlockedCompareExchange(volatile LONG* cell, LONG exchange, LONG comparand) {
  __atomic_compare_exchange_n(cell, &comparand, exchange, false, __ATOMIC_SEQ_CST,
                              __ATOMIC_SEQ_CST);
  return comparand;
}
