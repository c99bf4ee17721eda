// The media-specific sample handlers: MPEG-4 Visual (split, configuration, timing) and MP3
// (re-framing). The same records, in a checking mode, compare a file's tables with its stream.
#pragma once

#include <cstdint>

#include "mp4/mp3_header.h"
#include "mp4/mp4file.h"
#include "mp4/mp4v_headers.h"

struct error_stats {
  double sum;
  double maximum;
  double minimum;
  int count;
};
void error_stats_add(error_stats* s, double value);

enum { MP4_HANDLER_WRITE = 0, MP4_HANDLER_CHECK_DSI = 1, MP4_HANDLER_CHECK_SAMPLES = 2 };

// The longest run of B-VOPs between two anchors that the handler holds.
constexpr int MP4V_MAX_PENDING = 64;

struct mp4_media_handler {
  uint32_t objectTypeIndication;
  mp4_track* track;
  int started;
  uint8_t header[1024];
  uint32_t header_length;
  int header_set;
  int mode;
  uint32_t sample_count;
  error_stats dt_stats;
  error_stats ct_stats;
  uint32_t vop_number;
  // MPEG-4 Visual
  mp4v_vol_info vol;
  int have_anchor;
  vop_record current_anchor;
  vop_record previous_anchor;
  int64_t current_base;
  int64_t previous_base;
  vop_record pending[MP4V_MAX_PENDING + 1];
  int pending_count;
  vop_record last_emitted;
  int64_t last_delta;
  int gov_pending;     // a group-of-VOP time code waits for the next anchor
  uint32_t gov_seconds;
  int64_t origin;      // stream time of the first VOP, in 1/resolution seconds
  // MP3
  mp3_parser* mp3;
  uint32_t first_mp3_header;
  int have_first_mp3;
};

// Writes media bytes at the end of the mdat; 0 on success (offset set), 1 on failure.
int mp4file_write_media(mp4file* h, const uint8_t* data, uint32_t length, uint64_t* offset);
