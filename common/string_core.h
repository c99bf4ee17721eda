// Storage rules shared by the 8-bit and 16-bit strings: one pointer to the first character of a
// pooled buffer, a shared static empty buffer per width that is never counted, atomic sharing,
// copy-on-write before every write, and release to the pool when the last holder lets go.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstring>

#include "common/string_buffer_pool.h"

namespace string_core {

template <typename Ch>
struct EmptyBuffer {
  StringBufferHeader header;
  Ch zero[4];
};

template <typename Ch>
inline constinit EmptyBuffer<Ch> g_empty = {{{1}, 0}, {0, 0, 0, 0}};

template <typename Ch>
inline Ch* Empty() {
  return g_empty<Ch>.zero;
}

template <typename Ch>
inline StringBufferHeader* Header(const Ch* p) {
  return reinterpret_cast<StringBufferHeader*>(const_cast<Ch*>(p)) - 1;
}

template <typename Ch>
inline int Length(const Ch* p) {
  if (!p) return 0;
  if constexpr (sizeof(Ch) == 1) {
    return static_cast<int>(std::strlen(reinterpret_cast<const char*>(p)));
  } else {
    const Ch* e = p;
    while (*e) ++e;
    return static_cast<int>(e - p);
  }
}

// A fresh buffer for n characters (refs 1), holding the empty text; null on failure.
template <typename Ch>
inline Ch* NewBuffer(int64_t n) {
  Ch* p = static_cast<Ch*>(StringBufferPool::Allocate(n, sizeof(Ch)));
  if (p) p[0] = 0;
  return p;
}

template <typename Ch>
inline void AddRef(Ch* p) {
  if (p != Empty<Ch>()) Header(p)->refs.fetch_add(1, std::memory_order_relaxed);
}

template <typename Ch>
inline void Release(Ch* p) {
  if (p == Empty<Ch>()) return;
  if (Header(p)->refs.fetch_sub(1, std::memory_order_acq_rel) - 1 <= 0)
    StringBufferPool::Release(p, sizeof(Ch));
}

template <typename Ch>
inline int Refs(const Ch* p) {
  return Header(p)->refs.load(std::memory_order_relaxed);
}

template <typename Ch>
inline int Capacity(const Ch* p) {
  return Header(p)->capacity;
}

// A buffer of n characters with up to `count` characters of `text` copied and terminated.
template <typename Ch>
inline Ch* Copy(const Ch* text, int count, int64_t n) {
  Ch* p = NewBuffer<Ch>(n);
  if (!p) return nullptr;
  int c = static_cast<int>(std::min<int64_t>(count, n - 1));
  if (c > 0) std::memcpy(p, text, static_cast<size_t>(c) * sizeof(Ch));
  p[c] = 0;
  return p;
}

// Makes p writable for n characters (terminator included). When p is shared or too small it
// gets a new buffer; with `keep` the old text is carried over (cut to n - 1 characters so it
// stays terminated). Returns false, leaving p untouched, when no buffer can be had.
template <typename Ch>
inline bool Prepare(Ch*& p, int64_t n, bool keep) {
  if (Refs(p) <= 1 && Capacity(p) >= n) return true;
  Ch* fresh = keep ? Copy(p, Length(p), n) : NewBuffer<Ch>(n);
  if (!fresh) return false;
  Release(p);
  p = fresh;
  return true;
}

template <typename Ch>
inline void Assign(Ch*& p, Ch* other) {
  if (p == other) return;
  AddRef(other);
  Release(p);
  p = other;
}

}  // namespace string_core
