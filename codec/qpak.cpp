#include "codec/qpak.h"

#include <cstring>
#include <new>

namespace qpak {
namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr int kHashBits = 14;
// Every position a search touches lies within the last 1024 positions (see Compress).
constexpr size_t kRing = 2048;
constexpr uint32_t kRingMask = kRing - 1;

inline uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

inline uint32_t Hash(uint32_t word) { return (word * 2654435761u) >> (32 - kHashBits); }

// Writes items behind their flag bytes and charges them against the capacity: a flag byte when
// its group opens, four bytes per literal and two per match. A group opened with room for eight
// literals needs no further checks; the flag byte is stored when the group closes.
class Emitter {
 public:
  Emitter(uint8_t* dst, size_t capacity) : dst_(dst), capacity_(capacity) {}

  bool Literal(const uint8_t* word) {
    if (slot_ == 0 && !OpenGroup()) return false;
    if (!roomy_ && length_ + 4 > capacity_) return false;
    std::memcpy(dst_ + length_, word, 4);
    length_ += 4;
    Close(0);
    return true;
  }

  bool Match(uint32_t code) {
    if (slot_ == 0 && !OpenGroup()) return false;
    if (!roomy_ && length_ + 2 > capacity_) return false;
    dst_[length_] = static_cast<uint8_t>(code);
    dst_[length_ + 1] = static_cast<uint8_t>(code >> 8);
    length_ += 2;
    Close(0x80u);
    return true;
  }

  // Stores the flag byte of an unfinished last group; its unused low bits stay 0.
  size_t Finish() {
    if (slot_ != 0) dst_[flag_] = static_cast<uint8_t>(bits_);
    slot_ = 0;
    return length_;
  }

 private:
  bool OpenGroup() {
    if (length_ + 1 > capacity_) return false;
    flag_ = length_++;
    bits_ = 0;
    roomy_ = capacity_ - length_ >= 32;
    return true;
  }
  void Close(unsigned bit) {
    bits_ |= bit >> slot_;
    if (++slot_ == 8) {
      dst_[flag_] = static_cast<uint8_t>(bits_);
      slot_ = 0;
    }
  }

  uint8_t* dst_;
  size_t capacity_;
  size_t length_ = 0;
  size_t flag_ = 0;
  unsigned slot_ = 0;
  unsigned bits_ = 0;
  bool roomy_ = false;
};

bool EmitLiterals(Emitter& out, const uint8_t* src, size_t from, size_t to) {
  for (size_t i = from; i < to; ++i)
    if (!out.Literal(src + 4 * i)) return false;
  return true;
}

}  // namespace

Scratch::Scratch() = default;
Scratch::~Scratch() = default;

bool Scratch::Reserve() {
  if (!buckets_) buckets_.reset(new (std::nothrow) Bucket[size_t{1} << kHashBits]);
  if (!ring_) ring_.reset(new (std::nothrow) uint32_t[kRing]);
  return buckets_ && ring_;
}

// The window holds the positions p-511 ... p-33. Positions holding words of one hash form a chain
// in increasing order (next[]); the hash's bucket keeps the chain's front, the farthest entry
// still in the window, and its tail, the newest. Walking from the front visits candidates from the
// farthest to the nearest, as the decisions need: the longest match wins, the farthest among
// equally long ones, and the first 32-word match found (the farthest) ends the search. A chain
// whose tail has left the window is dropped rather than walked, and fronts are advanced on every
// insertion, so every position a walk touches lies within the last kRing positions and next[]
// can be a small ring.
bool Compress(const uint8_t* src, size_t n, uint8_t* dst, size_t capacity, size_t* outLength, Scratch* scratch) {
  if (n < kMinCompressBytes) return false;
  const size_t words = n / 4;
  if (words >= kNone || !scratch->Reserve()) return false;
  uint32_t* next = scratch->ring();
  Bucket* buckets = scratch->buckets();  // front and tail side by side: one cache line serves both
  // An empty bucket's tail is position 0, which has left the window before the first search
  // (farthest >= 1), so one comparison tells an empty bucket from one without candidates.
  std::memset(buckets, 0, sizeof(Bucket) << kHashBits);
  size_t count = 0;
  const Kernel* kernels = Kernels(&count);
  const MatchRunFn run = kernels[SelectedKernel()].matchRun;

  Emitter out(dst, capacity);
  if (!EmitLiterals(out, src, 0, kLiteralPrefixWords)) return false;

  size_t inserted = 0;  // positions below this are in the chains
  const size_t end = words - kTailWords;
  size_t p = kLiteralPrefixWords;
  while (p < end) {
    const size_t farthest = p - kWindowFar;
    for (const size_t nearest = p - kWindowNear; inserted <= nearest; ++inserted) {
      const uint32_t h = Hash(Load32(src + 4 * inserted));
      const uint32_t i = static_cast<uint32_t>(inserted);
      // Without branches on the common path: a live chain gets the new position linked and
      // its front moved into the window; a dead one starts over at the new position.
      Bucket& b = buckets[h];
      const uint32_t t = b.tail;
      const bool live = t >= farthest;
      next[(live ? t : i) & kRingMask] = i;
      next[i & kRingMask] = kNone;
      uint32_t f = live ? b.front : i;
      while (f < farthest) f = next[f & kRingMask];
      b.front = f;
      b.tail = i;
    }
    const uint32_t word = Load32(src + 4 * p);
    const uint32_t h = Hash(word);
    int best = -1;
    size_t bestQ = 0;
    if (buckets[h].tail >= farthest) {
      uint32_t q = buckets[h].front;
      while (q < farthest) q = next[q & kRingMask];
      buckets[h].front = q;
      const uint8_t* ahead = src + 4 * (p + 1);
      for (; q != kNone; q = next[q & kRingMask]) {
        if (Load32(src + 4 * size_t{q}) != word) continue;
        const uint8_t* cand = src + 4 * (size_t{q} + 1);
        if (best >= 0 && Load32(cand + 4 * best) != Load32(ahead + 4 * best)) continue;
        // Most candidates in detailed pictures agree on one word only: settle those here.
        const int k = Load32(cand) != Load32(ahead) ? 0 : run(ahead, cand);
        if (k > best) {
          best = k;
          bestQ = q;
          if (k == kMaxExtra) break;
        }
      }
    }
    if (best >= 0) {
      if (!out.Match(static_cast<uint32_t>(4 * (p - bestQ) + best * 2048))) return false;
      p += static_cast<size_t>(best) + 1;
    } else {
      if (!out.Literal(src + 4 * p)) return false;
      ++p;
    }
  }
  if (!EmitLiterals(out, src, p, words)) return false;
  *outLength = out.Finish();
  return true;
}

bool CompressReference(const uint8_t* src, size_t n, uint8_t* dst, size_t capacity, size_t* outLength) {
  if (n < kMinCompressBytes) return false;
  const size_t words = n / 4;
  auto word = [src](size_t i) { return Load32(src + 4 * i); };
  Emitter out(dst, capacity);
  if (!EmitLiterals(out, src, 0, kLiteralPrefixWords)) return false;
  size_t p = kLiteralPrefixWords;
  while (p < words - kTailWords) {
    uint32_t bestCode = 0;
    int bestK = 0;
    for (size_t q = p - kWindowFar; q <= p - kWindowNear; ++q) {
      if (word(q) != word(p)) continue;
      int k = 0;
      while (k < kMaxExtra && word(p + 1 + k) == word(q + 1 + k)) ++k;
      const uint32_t code = static_cast<uint32_t>(4 * (p - q) + k * 2048);
      if (k == kMaxExtra) {
        bestCode = code;
        bestK = k;
        break;
      }
      if (code > bestCode) {
        bestCode = code;
        bestK = k;
      }
    }
    if (bestCode != 0) {
      if (!out.Match(bestCode)) return false;
      p += static_cast<size_t>(bestK) + 1;
    } else {
      if (!out.Literal(src + 4 * p)) return false;
      ++p;
    }
  }
  if (!EmitLiterals(out, src, p, words)) return false;
  *outLength = out.Finish();
  return true;
}

DecodeResult Decompress(const uint8_t* src, size_t m, uint8_t* dst, size_t capacity) {
  DecodeResult result;
  size_t i = 0, o = 0;
  while (i < m) {
    if (i + 1 == m) break;  // a flag byte with nothing behind it ends the stream
    const unsigned flags = src[i++];
    // Whole group in reach: at most 32 input bytes, at most 8 x 128 output bytes.
    const bool roomy = m - i >= 32 && capacity - o >= 8 * 128;
    if (roomy && flags == 0) {  // eight literals
      std::memcpy(dst + o, src + i, 32);
      i += 32;
      o += 32;
      continue;
    }
    for (unsigned bit = 0x80; bit != 0 && i < m; bit >>= 1) {
      if ((flags & bit) == 0) {
        if (!roomy && (m - i < 4 || capacity - o < 4)) {
          result.ok = false;
          result.written = o;
          return result;
        }
        std::memcpy(dst + o, src + i, 4);
        i += 4;
        o += 4;
        continue;
      }
      if (!roomy && m - i < 2) {
        result.ok = false;
        result.written = o;
        return result;
      }
      const unsigned code = src[i] | (static_cast<unsigned>(src[i + 1]) << 8);
      i += 2;
      const size_t distance = code & 2047;
      const size_t bytes = 4 * ((code >> 11) + 1);
      if (distance < 4 || distance > o || (!roomy && capacity - o < bytes)) {
        result.ok = false;
        result.written = o;
        return result;
      }
      uint8_t* to = dst + o;
      const uint8_t* from = to - distance;
      if (roomy && distance >= 128) {
        // The source lies wholly before the output position, so a full 128-byte copy is safe;
        // bytes past this match are overwritten by the items that follow.
        std::memcpy(to, from, 128);
      } else if (distance >= bytes) {
        std::memcpy(to, from, bytes);
      } else {
        for (size_t k = 0; k < bytes; k += 4) {
          uint8_t w[4];
          std::memcpy(w, from + k, 4);
          std::memcpy(to + k, w, 4);
        }
      }
      o += bytes;
    }
  }
  result.written = o;
  return result;
}

}  // namespace qpak
