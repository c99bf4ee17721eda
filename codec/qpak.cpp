#include "codec/qpak.h"

#include <cstring>
#include <new>

namespace qpak {
namespace {

constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr int kHashBits = 16;
// A link is read only for positions in the window, at most 511 positions behind the newest
// inserted one, so a ring of 1024 links holds every link a search reads.
constexpr size_t kRing = 1024;
constexpr uint32_t kRingMask = kRing - 1;
// Chains up to this long are followed; longer ones (flat areas, where a word recurs all over the
// window) are settled by comparing the word with the whole window, farthest block first.
constexpr int kShortChain = 16;

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
  if (!head_) head_.reset(new (std::nothrow) uint32_t[size_t{1} << kHashBits]);
  if (!prev_) prev_.reset(new (std::nothrow) uint32_t[kRing]);
  return head_ && prev_;
}

namespace {

// The stream writer of the fast encoder, with the charges of Emitter: the flag byte when a group
// opens, then four bytes per literal and two per match, failing as soon as the capacity would be
// exceeded. Its state lives in plain members of a local object, so that the compiler keeps them
// in registers across the byte stores (a member of an object whose address escapes would be
// reloaded after each store, since byte stores may alias anything). `bits` holds a marker bit
// above the kinds of the open group's items; at 0x100 the group is full.
struct FastEmitter {
  uint8_t* out;
  uint8_t* limit;
  uint8_t* flag;
  unsigned bits;
  bool roomy;

  // Called before each item: closes a full group, opens a group when none is open.
  inline __attribute__((always_inline)) bool Slot(size_t bytes) {
    if (bits >= 0x100) {
      *flag = static_cast<uint8_t>(bits);
      if (out == limit) return false;
      flag = out++;
      bits = 1;
      roomy = static_cast<size_t>(limit - out) >= 32;  // room for eight literals: no more checks
    }
    return roomy || static_cast<size_t>(limit - out) >= bytes;
  }
  inline __attribute__((always_inline)) bool Literal(const uint8_t* word) {
    if (!Slot(4)) return false;
    std::memcpy(out, word, 4);
    out += 4;
    bits <<= 1;
    return true;
  }
  inline __attribute__((always_inline)) bool Match(uint32_t code) {
    if (!Slot(2)) return false;
    out[0] = static_cast<uint8_t>(code);
    out[1] = static_cast<uint8_t>(code >> 8);
    out += 2;
    bits = bits << 1 | 1;
    return true;
  }
  // Stores the flag byte of the last group, its unused low bits 0.
  void Finish() {
    unsigned b = bits;
    while (b < 0x100) b <<= 1;
    *flag = static_cast<uint8_t>(b);
  }
};

}  // namespace

// The window holds the positions p-511 ... p-33. head[] keeps the newest inserted position of each
// word hash and prev[] links every position to the previous one of its hash, so inserting costs
// two stores and no branch, and a hash whose newest position has left the window (most positions
// of a detailed picture) is settled by one comparison. Otherwise the candidates are visited from
// the farthest to the nearest, as the decisions need: the longest match wins, the farthest among
// equally long ones, and the first 32-word match found (the farthest) ends the search. A short
// chain is gathered newest first and walked backwards; a long one is replaced by comparing word p
// with the window 64 words at a time from the far end, which finds a flat area's farthest
// full-length match in the first block.
bool Compress(const uint8_t* src, size_t n, uint8_t* dst, size_t capacity, size_t* outLength, Scratch* scratch) {
  if (n < kMinCompressBytes) return false;
  const size_t words = n / 4;
  if (words >= kNone || !scratch->Reserve()) return false;
  uint32_t* head = scratch->head();
  uint32_t* prev = scratch->prev();
  // An empty entry holds position 0, which has left the window before the first search
  // (farthest >= 1).
  std::memset(head, 0, sizeof(uint32_t) << kHashBits);
  size_t count = 0;
  const Kernel& kernel = Kernels(&count)[SelectedKernel()];
  const MatchRunFn run = kernel.matchRun;
  const EqualMaskFn equalMask = kernel.equalMask;

  uint8_t unopened = 0;  // flag target before the first group opens
  FastEmitter out{dst, dst + capacity, &unopened, 0x100, false};
  for (size_t i = 0; i < kLiteralPrefixWords; ++i)
    if (!out.Literal(src + 4 * i)) return false;

  auto insert = [head, prev, src](uint32_t i) {
    uint32_t& newest = head[Hash(Load32(src + 4 * size_t{i}))];
    prev[i & kRingMask] = newest;
    newest = i;
  };

  const size_t end = words - kTailWords;
  size_t p = kLiteralPrefixWords;
  // Positions up to p - 33 are inserted; the first search needs 0 ... 479.
  for (uint32_t i = 0; i + kWindowNear <= p; ++i) insert(i);
  while (p < end) {
    const uint32_t farthest = static_cast<uint32_t>(p - kWindowFar);
    const uint32_t word = Load32(src + 4 * p);
    uint32_t q = head[Hash(word)];
    int best = -1;
    size_t bestQ = 0;
    if (q >= farthest) {
      const uint8_t* ahead = src + 4 * (p + 1);
      // Weighs candidate q; true when it is a full-length match, which ends the search.
      auto consider = [&](uint32_t c) {
        const uint8_t* cand = src + 4 * (size_t{c} + 1);
        if (best >= 0 && Load32(cand + 4 * best) != Load32(ahead + 4 * best)) return false;
        // Most candidates in detailed pictures agree on one word only: settle those here.
        const int k = Load32(cand) != Load32(ahead) ? 0 : run(ahead, cand);
        if (k <= best) return false;
        best = k;
        bestQ = c;
        return k == kMaxExtra;
      };
      uint32_t chain[kShortChain];
      int length = 0;
      do {
        chain[length++] = q;
        q = prev[q & kRingMask];
      } while (q >= farthest && length < kShortChain);
      if (q < farthest) {
        while (length > 0) {
          const uint32_t c = chain[--length];
          if (Load32(src + 4 * size_t{c}) == word && consider(c)) break;
        }
      } else {
        // 479 window words in eight blocks of 64; the last block's bits past p - 33 are dropped.
        for (uint32_t block = 0; block < 8; ++block) {
          const uint32_t base = farthest + 64 * block;
          uint64_t mask = equalMask(src + 4 * size_t{base}, word);
          if (block == 7) mask &= (uint64_t{1} << (kWindowFar - kWindowNear + 1 - 448)) - 1;
          bool done = false;
          for (; mask != 0; mask &= mask - 1) {
            if (consider(base + static_cast<uint32_t>(__builtin_ctzll(mask)))) {
              done = true;
              break;
            }
          }
          if (done) break;
        }
      }
    }
    if (best >= 0) {
      if (!out.Match(static_cast<uint32_t>(4 * (p - bestQ) + best * 2048))) return false;
      // The positions the match covers join the window before the next search.
      const size_t to = p + static_cast<size_t>(best) + 1;
      for (size_t i = p - kWindowNear + 1; i + kWindowNear <= to; ++i) insert(static_cast<uint32_t>(i));
      p = to;
    } else {
      if (!out.Literal(src + 4 * p)) return false;
      ++p;
      insert(static_cast<uint32_t>(p - kWindowNear));
    }
  }
  for (; p < words; ++p)
    if (!out.Literal(src + 4 * p)) return false;
  out.Finish();
  *outLength = static_cast<size_t>(out.out - dst);
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
