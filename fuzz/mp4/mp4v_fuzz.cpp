// The MPEG-4 Visual header parsers on raw bytes, and the video handler (checking mode, so that
// nothing is written) on the same bytes cut into chunks.
#include <cstdint>
#include <cstdio>

#include "mp4/handler.h"
#include "mp4/internal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool once = [] { return std::freopen("/dev/null", "w", stdout) != nullptr; }();
  (void)once;
  bit_reader r;
  mp4v_vol_info vol = {};
  vop_record rec = {};
  uint32_t seconds;
  bit_reader_init(&r, data, size);
  parse_vo_header(&r);
  bit_reader_init(&r, data, size);
  if (find_start_code(&r, 0x120, 0xFFFFFFF0) == 0) parse_vol_header(&r, &vol);
  bit_reader_init(&r, data, size);
  if (find_start_code(&r, 0x1B6, 0xFFFFFFFF) == 0) parse_vop_header(&r, &vol, &rec);
  bit_reader_init(&r, data, size);
  if (find_start_code(&r, 0x1B3, 0xFFFFFFFF) == 0) parse_gov_header(&r, &seconds);

  // The handler: the first byte chooses the chunk length, the rest is the stream.
  if (size < 1) return 0;
  const size_t piece = 1 + data[0] * 4;
  mp4_track track = {};
  track.timescale = 25;
  mp4_media_handler* m = mp4_media_handler_create(0x20, &track, 1);
  m->mode = MP4_HANDLER_CHECK_SAMPLES;
  mp4file h = {};
  for (size_t at = 1; at < size; at += piece) {
    size_t n = size - at < piece ? size - at : piece;
    media_specific_handle_data(m, &h, data + at, static_cast<int64_t>(n), 0);
  }
  media_specific_handle_data(m, &h, nullptr, -1, 1);
  mp4_media_handler_release(m);
  return 0;
}
