// Checking an open file: the timing tables against the times its bitstream implies.
#include <cstdlib>

#include "mp4/handler.h"
#include "mp4/internal.h"

namespace {

int check_track(mp4file* h, mp4_track* t) {
  const mp4_sample_entry* e = &t->stsd.entries[0];
  mp4_media_handler* m = mp4_media_handler_create(e->objectTypeIndication, t, 1);
  mp4_log(h, MP4_LOG_INFO, "Media specific test %sfor objectTypeIndication = 0x%02x %s\n", m ? " " : "is not available ",
          e->objectTypeIndication, mp4_object_type_name(e->objectTypeIndication));
  if (!m) return 0;
  const uint32_t n = t->stsz.sample_count;
  m->sample_count = n;
  if (n == 0) {
    mp4_log(h, MP4_LOG_INFO, "There are no samples\n");
    mp4_media_handler_release(m);
    return 0;
  }
  if (n == 1)
    mp4_log(h, MP4_LOG_INFO, "There is %d sample\n", 1);
  else
    mp4_log(h, MP4_LOG_INFO, "There are %d samples\n", static_cast<int>(n));
  media_specific_handle_data(m, h, e->dsi, e->dsi_length, 1);
  m->mode = MP4_HANDLER_CHECK_SAMPLES;
  uint32_t longest = 0;
  int result = 0;
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t size = mp4_track_sample_size(t, i);
    if (size > longest) longest = size;
    uint8_t* buffer = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    if (!buffer) {
      mp4_log(h, MP4_LOG_FATAL, "Could not allocate %d bytes for sample %d\n", static_cast<int>(size), static_cast<int>(i));
      result = 1;
      break;
    }
    if (mp4file_read_sample(h, static_cast<int>(t->track_ID), i, buffer, size) == size)
      media_specific_handle_data(m, h, buffer, size, 1);
    std::free(buffer);
  }
  if (result == 0) media_specific_handle_data(m, h, nullptr, -1, 1);
  if (e->bufferSizeDB < longest)
    mp4_log(h, MP4_LOG_ERROR, "bufferSizeDB=%d < longest sample data=%d\n", static_cast<int>(e->bufferSizeDB),
            static_cast<int>(longest));
  if (m->ct_stats.count)
    mp4_log(h, MP4_LOG_INFO, "CT_offset error (seconds): min=%f mean=%f max=%f (%d samples)\n", m->ct_stats.minimum,
            m->ct_stats.sum / m->ct_stats.count, m->ct_stats.maximum, m->ct_stats.count);
  if (m->dt_stats.count)
    mp4_log(h, MP4_LOG_INFO, "DT_delta  error (seconds): min=%f mean=%f max=%f (%d samples)\n", m->dt_stats.minimum,
            m->dt_stats.sum / m->dt_stats.count, m->dt_stats.maximum, m->dt_stats.count);
  mp4_media_handler_release(m);
  return result;
}

}  // namespace

int mp4file_check(mp4file* h) {
  if (!h) return 1;
  mp4_log(h, MP4_LOG_INFO, "Checking moov atom for correctness\n");
  const uint32_t count = h->movie.track_count;
  if (count == 0) {
    mp4_log(h, MP4_LOG_FATAL, "There are no tracks\n");
    return 1;
  }
  if (count == 1)
    mp4_log(h, MP4_LOG_INFO, "There is %d track\n", 1);
  else
    mp4_log(h, MP4_LOG_INFO, "There are %d tracks\n", static_cast<int>(count));
  for (uint32_t i = 0; i < count; ++i) {
    mp4_track* t = &h->movie.tracks[i];
    mp4_log(h, MP4_LOG_INFO, "Checking track-ID %d\n", static_cast<int>(t->track_ID));
    if (t->stsd.entry_count > 1) {
      mp4_log(h, MP4_LOG_FATAL, "Cannot handle stsd entry count > 1\n");
      return 1;
    }
    if (t->stsd.entry_count == 0) continue;
    if (check_track(h, t) != 0) return 1;
  }
  return 0;
}
