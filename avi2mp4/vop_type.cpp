// Which kind of picture an AVI video chunk holds, as the converter's analysis sees it.
#include <cstdint>
#include <cstring>

#include "avi2mp4/avi2mp4.h"
#include "mp4/bitreader.h"
#include "mp4/mp4v_headers.h"

namespace {
mp4v_vol_info g_layer;
}  // namespace

long long avi2mp4_find_vop(const unsigned char* p, unsigned size, unsigned from) {
  // memchr finds the 0x01 of the prefix quickly; the bytes around it are then checked.
  for (uint32_t i = from + 2; i + 2 <= size;) {
    const void* hit = std::memchr(p + i, 1, size - 1 - i);
    if (!hit) return -1;
    i = static_cast<uint32_t>(static_cast<const uint8_t*>(hit) - p);
    if (p[i - 1] == 0 && p[i - 2] == 0 && p[i + 1] == 0xB6) return i - 2;
    ++i;
  }
  return -1;
}

void avi2mp4_reset_layer() { g_layer = {}; }

char avi2mp4_vop_coding_type(const unsigned char* chunk, unsigned size) {
  int64_t first = avi2mp4_find_vop(chunk, size, 0);
  uint32_t p = first < 0 ? 0 : static_cast<uint32_t>(first);
  if (p > 0) {
    // Real streams put a visual object sequence header and user data before the video object
    // header: look for it rather than demand it at the start. A chunk whose configuration holds
    // no video object header (a group-of-VOP header only) keeps the earlier layer.
    bit_reader r;
    bit_reader_init(&r, chunk, p);
    if (find_start_code(&r, 0x00000100, 0xFFFFFFE0) == 0) {
      mp4v_vol_info vol = {};
      if (parse_vo_header(&r) != 0 || find_start_code(&r, 0x00000120, 0xFFFFFFF0) != 0 ||
          parse_vol_header(&r, &vol) != 0)
        return 'e';
      g_layer = vol;
    }
  }
  // A packed chunk (P-VOP then B-VOP) shows its B-frame only in its later VOPs.
  char type = 'e';
  for (int64_t at = p; at >= 0 && static_cast<uint64_t>(at) < size;) {
    bit_reader r;
    bit_reader_init(&r, chunk + at, size - static_cast<uint32_t>(at));
    vop_record vop = {};
    if (parse_vop_header(&r, &g_layer, &vop) != 0) return type == 'e' ? 'e' : type;
    if (type == 'e') type = vop.type;
    if (vop.type == 'B') return 'B';
    at = avi2mp4_find_vop(chunk, size, static_cast<uint32_t>(at) + 4);
  }
  return type;
}
