#include "mp4/mp4v_headers.h"

#include <cstdio>

int mp4v_time_increment_bits(uint32_t resolution) {
  int bits = 1;
  while (bits < 32 && (uint64_t(1) << bits) < resolution) ++bits;
  return bits;
}

int parse_vo_header(bit_reader* r) {
  uint32_t code = getbits(r, 32);
  if (code < 0x00000100 || code > 0x0000011F) {
    std::printf("VO header not seen!\n");
    return 1;
  }
  return 0;
}

int parse_vol_header(bit_reader* r, mp4v_vol_info* vol) {
  uint32_t code = getbits(r, 32);
  if (code < 0x00000120 || code > 0x0000012F) {
    std::printf("VOL header not seen!\n");
    return 1;
  }
  flushbits(r, 9);
  if (getbits(r, 1) == 1) flushbits(r, 7);
  if (getbits(r, 4) == 15) flushbits(r, 16);
  if (getbits(r, 1) == 1) {
    flushbits(r, 3);
    if (getbits(r, 1) == 1) {
      static const int kVbv[] = {15, 1, 15, 1, 15, 1, 3, 11, 1, 15, 1};
      for (int n : kVbv) flushbits(r, n);
    }
  }
  uint32_t shape = getbits(r, 2);
  flushbits(r, 1);
  uint32_t resolution = getbits(r, 16);
  if (resolution == 0 || r->at_end) {
    std::printf("vop_time_increment_resolution was illegally set to 0\n");
    vol->vop_time_increment_resolution = 1;
    vol->fixed_vop_time_increment = 1;
    return 1;
  }
  vol->vop_time_increment_resolution = resolution;
  flushbits(r, 1);
  vol->fixed_vop_rate = static_cast<int>(getbits(r, 1) & 1);
  if (vol->fixed_vop_rate) {
    vol->fixed_vop_time_increment = getbits(r, mp4v_time_increment_bits(resolution));
    std::printf("\t\tfixed_vop_time_increment  = %d\n", static_cast<int>(vol->fixed_vop_time_increment));
  }
  vol->width = vol->height = 0;
  if (shape == 0) {
    flushbits(r, 1);
    vol->width = getbits(r, 13);
    flushbits(r, 1);
    vol->height = getbits(r, 13);
    flushbits(r, 1);
    if (r->at_end) vol->width = vol->height = 0;
  }
  vol->valid = 1;
  return 0;
}

int parse_vop_header(bit_reader* r, const mp4v_vol_info* vol, vop_record* record) {
  if (getbits(r, 32) != MP4V_VOP_START) {
    std::printf("VOP header not seen!\n");
    return 1;
  }
  if (!vol || !vol->valid) {
    std::printf("Cannot parse VOP header without knowledege of VOL header!\n");
    return 1;
  }
  record->type = "IPBS"[getbits(r, 2) & 3];
  uint32_t seconds = 0;
  // Bounded by the data: an exhausted reader stops the count.
  while (!r->at_end && getbits(r, 1) == 1) ++seconds;
  record->modulo_time_base = seconds;
  flushbits(r, 1);
  record->vop_time_increment = getbits(r, mp4v_time_increment_bits(vol->vop_time_increment_resolution));
  flushbits(r, 1);
  record->vop_coded = getbits(r, 1) & 1;
  if (record->vop_coded && record->type == 'P') record->vop_rounding_type = getbits(r, 1) & 1;
  if (r->at_end) {
    std::printf("VOP header not seen!\n");
    return 1;
  }
  record->valid = 1;
  return 0;
}

int parse_gov_header(bit_reader* r, uint32_t* seconds) {
  if (getbits(r, 32) != MP4V_GOV_START) return 1;
  uint32_t hours = getbits(r, 5);
  uint32_t minutes = getbits(r, 6);
  flushbits(r, 1);
  uint32_t secs = getbits(r, 6);
  if (r->at_end) return 1;
  *seconds = hours * 3600 + minutes * 60 + secs;
  return 0;
}
