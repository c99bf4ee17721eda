// MPEG-4 Visual header parsers: video object, video object layer, group of VOPs and VOP headers.
// Each returns 0 on success and 1 on failure, printing its reason to standard output.
#pragma once

#include <cstdint>

#include "mp4/bitreader.h"

struct mp4v_vol_info {
  int valid;
  uint32_t vop_time_increment_resolution;
  int fixed_vop_rate;
  uint32_t fixed_vop_time_increment;
  uint32_t width;
  uint32_t height;
};

struct vop_record {
  int valid;
  char type;  // 'I', 'P', 'B', 'S', or 'X' for none
  uint32_t modulo_time_base;
  uint32_t vop_time_increment;
  uint32_t vop_coded;
  uint32_t vop_rounding_type;
  uint64_t offset;
  uint32_t size;
  uint32_t number;
  int64_t CT;
  int64_t DT;
};

constexpr uint32_t MP4V_VOP_START = 0x000001B6;
constexpr uint32_t MP4V_GOV_START = 0x000001B3;

// Bits needed for values 0 .. resolution - 1, at least 1.
int mp4v_time_increment_bits(uint32_t resolution);

int parse_vo_header(bit_reader* r);
int parse_vol_header(bit_reader* r, mp4v_vol_info* vol);
int parse_vop_header(bit_reader* r, const mp4v_vol_info* vol, vop_record* record);
// Group of VOPs: the time code in whole seconds (hours, minutes, seconds).
int parse_gov_header(bit_reader* r, uint32_t* seconds);
