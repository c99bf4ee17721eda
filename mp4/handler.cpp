#include "mp4/handler.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mp4/internal.h"

// The log lines keep their traditional "% 5u" layout; the space flag is a no-op for unsigned.
#pragma GCC diagnostic ignored "-Wformat"

void error_stats_add(error_stats* s, double value) {
  if (s->count == 0 || value > s->maximum) s->maximum = value;
  if (s->count == 0 || value < s->minimum) s->minimum = value;
  s->sum += value;
  ++s->count;
}

mp4_media_handler* mp4_media_handler_create(uint32_t objectTypeIndication, mp4_track* track, int checking) {
  const int visual = objectTypeIndication == 0x20 || objectTypeIndication == 0xC0;
  const int mp3 = objectTypeIndication == 0x69 || objectTypeIndication == 0x6B;
  if (!visual && !mp3) return nullptr;
  mp4_media_handler* m = static_cast<mp4_media_handler*>(std::calloc(1, sizeof(mp4_media_handler)));
  if (!m) return nullptr;
  m->objectTypeIndication = objectTypeIndication;
  m->track = track;
  m->mode = checking ? MP4_HANDLER_CHECK_DSI : MP4_HANDLER_WRITE;
  m->last_emitted.type = 'X';
  if (mp3) {
    m->mp3 = static_cast<mp3_parser*>(std::malloc(sizeof(mp3_parser)));
    if (!m->mp3) {
      std::free(m);
      return nullptr;
    }
    mp3_parser_reset(m->mp3);
    m->header_set = 1;
  }
  return m;
}

void mp4_media_handler_release(mp4_media_handler* m) {
  if (!m) return;
  std::free(m->mp3);
  std::free(m);
}

int mp4file_write_media(mp4file* h, const uint8_t* data, uint32_t length, uint64_t* offset) {
  int64_t here = mp4fileio_tell(&h->io);
  if (h->io.error) return 1;
  if (static_cast<uint64_t>(here) + length - static_cast<uint64_t>(h->mdat.start) > 0xFFFFFFFFull) {
    mp4_log(h, MP4_LOG_FATAL, "'mdat' would exceed 4 GiB\n");
    return 1;
  }
  mp4fileio_write(&h->io, data, length);
  if (h->io.error) return 1;
  *offset = static_cast<uint64_t>(here);
  return 0;
}

namespace {

uint32_t be32(const uint8_t* p) { return mp4_be32(p); }

// Position of the first start code 00 00 01 code in [from, to), or -1.
int64_t find_code(const uint8_t* data, int64_t from, int64_t to, uint8_t code) {
  for (int64_t p = from; p + 4 <= to; ++p)
    if (data[p] == 0 && data[p + 1] == 0 && data[p + 2] == 1 && data[p + 3] == code) return p;
  return -1;
}

// ---- MPEG-4 Visual ----

int mp4v_emit(mp4_media_handler* m, mp4file* h, const vop_record* next) {
  if (m->last_emitted.type == 'X') {
    if (next) m->last_emitted = *next;
    return 0;
  }
  const vop_record& p = m->last_emitted;
  const int64_t R = m->vol.vop_time_increment_resolution ? m->vol.vop_time_increment_resolution : 1;
  // The last VOP has no successor: it lasts as long as the one before it.
  int64_t dt_delta = next ? next->DT - p.DT : (m->last_delta > 0 ? m->last_delta : 1);
  int64_t ct_offset = p.CT - p.DT;
  if (dt_delta < 1 || dt_delta > R / 2)
    mp4_log(h, MP4_LOG_ERROR, "** Problem in video bitstream: DT_delta = %d/%d seconds is not sensible\n",
            static_cast<int>(dt_delta), static_cast<int>(R));
  if (next) m->last_delta = dt_delta;
  if (m->mode == MP4_HANDLER_WRITE) {
    if (dt_delta < 0) dt_delta = 1;
    mp4file_stbl_add_sample(m->track, p.offset, p.size, p.type == 'I', static_cast<uint32_t>(dt_delta),
                            static_cast<int32_t>(ct_offset));
  } else {
    uint32_t file_delta = 0;
    mp4_track_sample_delta(m->track, p.number, &file_delta);
    int32_t file_offset = mp4_track_composition_offset(m->track, p.number);
    const double T = m->track->timescale ? m->track->timescale : 1;
    if (p.number != 0) {
      error_stats_add(&m->ct_stats, file_offset / T - static_cast<double>(ct_offset) / static_cast<double>(R));
      error_stats_add(&m->dt_stats, file_delta / T - static_cast<double>(dt_delta) / static_cast<double>(R));
    }
    mp4_log(h, MP4_LOG_INFO,
            "\t%c-VOP[% 5u]  DT =% 6d CT =% 6d DT delta =% 6d CT offset =% 6d  file: DT delta =% 6d CT offset =% 6d \n",
            p.type, p.number, static_cast<int>(p.DT), static_cast<int>(p.CT), static_cast<int>(dt_delta),
            static_cast<int>(ct_offset), static_cast<int>(file_delta), static_cast<int>(file_offset));
  }
  if (next) m->last_emitted = *next;
  return 0;
}

int mp4v_config(mp4_media_handler* m, mp4file* h, const uint8_t* data, int64_t L) {
  const int64_t gov = find_code(data, 0, L, 0xB3);
  if (gov >= 0) {
    bit_reader r;
    bit_reader_init(&r, data + gov, static_cast<size_t>(L - gov));
    uint32_t seconds;
    if (parse_gov_header(&r, &seconds) == 0) {
      m->gov_pending = 1;
      m->gov_seconds = seconds;
    }
  }
  // The configuration proper ends where the group of VOPs begins.
  const int64_t config_length = gov >= 0 ? gov : L;
  int has_vo = 0;
  for (int64_t p = 0; p + 3 < config_length; ++p)
    if (data[p] == 0 && data[p + 1] == 0 && data[p + 2] == 1 && data[p + 3] <= 0x1F) {
      has_vo = 1;
      break;
    }
  if (!has_vo && gov >= 0) return 0;  // only a group-of-VOP header
  if (L > 1024) return 1;
  bit_reader r;
  bit_reader_init(&r, data, static_cast<size_t>(config_length));
  mp4v_vol_info vol = m->vol;
  if (find_start_code(&r, 0x00000100, 0xFFFFFFE0) != 0 || parse_vo_header(&r) != 0 ||
      find_start_code(&r, 0x00000120, 0xFFFFFFF0) != 0 || parse_vol_header(&r, &vol) != 0)
    return 1;
  m->vol = vol;
  mp4_track* t = m->track;
  if (m->mode == MP4_HANDLER_WRITE) {
    std::memcpy(m->header, data, static_cast<size_t>(config_length));
    m->header_length = static_cast<uint32_t>(config_length);
    if (!m->header_set) {
      if (mp4file_set_DecoderSpecificInfo(h, static_cast<int>(t->track_ID), data,
                                          static_cast<uint32_t>(config_length)) != 0)
        return 1;
      m->header_set = 1;
      t->timescale = vol.vop_time_increment_resolution;
    }
    mp4file_set_video_size(h, static_cast<int>(t->track_ID), vol.width, vol.height);
  } else {
    if (t->timescale != vol.vop_time_increment_resolution)
      mp4_log(h, MP4_LOG_WARNING, "Track's timescale=%d != vop_time_increment_resolution=%d\n",
              static_cast<int>(t->timescale), static_cast<int>(vol.vop_time_increment_resolution));
    const mp4_sample_entry* e = t->stsd.entry_count ? &t->stsd.entries[0] : nullptr;
    if (e && (e->width != vol.width || e->height != vol.height))
      mp4_log(h, MP4_LOG_WARNING, "Image size discrepancy: VisualSampleEntry says %dx%d VOL header says %dx%d\n",
              static_cast<int>(e->width), static_cast<int>(e->height), static_cast<int>(vol.width),
              static_cast<int>(vol.height));
    if (t->width != vol.width || t->height != vol.height)
      mp4_log(h, MP4_LOG_WARNING, "Image size discrepancy: Track Header says %dx%d VOL header says %dx%d\n",
              static_cast<int>(t->width), static_cast<int>(t->height), static_cast<int>(vol.width),
              static_cast<int>(vol.height));
  }
  return 0;
}

int mp4v_handle(mp4_media_handler* m, mp4file* h, const uint8_t* data, int64_t L, int whole) {
  if (L >= 0 && L < 4) return 0;
  if (!whole && L > 8) {
    for (int64_t p = 4; p <= L - 5; ++p) {
      if (data[p] == 0 && data[p + 1] == 0 && data[p + 2] == 1 && data[p + 3] == 0xB6) {
        if (mp4v_handle(m, h, data, p, 1) != 0) return 1;
        return mp4v_handle(m, h, data + p, L - p, 0);
      }
    }
  }
  if (L >= 0) {
    m->started = 1;
    const uint32_t code = be32(data);
    if (code != MP4V_VOP_START) {
      if (m->mode == MP4_HANDLER_CHECK_SAMPLES && code != MP4V_GOV_START)
        mp4_log(h, MP4_LOG_ERROR, "Sample %d does not start with a video_object_layer startcode\n",
                static_cast<int>(m->vop_number));
      for (int64_t p = 1; p + 3 < L; ++p) {
        if (data[p] == 0 && data[p + 1] == 0 && data[p + 2] == 1 && data[p + 3] == 0xB6) {
          mp4v_handle(m, h, data, p, 1);
          mp4v_handle(m, h, data + p, L - p, 1);
          return 0;
        }
      }
      return mp4v_config(m, h, data, L);
    }
  } else if (!m->started) {
    return 1;  // a flush before any data
  }

  const int64_t R = m->vol.vop_time_increment_resolution;
  vop_record rec = {};
  const int flush = L < 0;
  if (!flush) {
    bit_reader r;
    bit_reader_init(&r, data, static_cast<size_t>(L));
    if (parse_vop_header(&r, &m->vol, &rec) != 0) return 1;
    std::printf("found %c-VOP[% 5u]", rec.type, m->vop_number);
    std::printf(" vop_time_increment=% 5u/% 5u modulo_time_base=%d\n", rec.vop_time_increment,
                m->vol.vop_time_increment_resolution, static_cast<int>(rec.modulo_time_base));
    const int64_t within = static_cast<int64_t>(rec.modulo_time_base) * R + rec.vop_time_increment;
    int64_t gov_base = 0;
    if (m->gov_pending) gov_base = static_cast<int64_t>(m->gov_seconds) * R - m->origin;
    if (!m->have_anchor) {
      if (rec.type == 'B') {  // nothing to predict from: undecodable
        std::printf("\tignoring this VOP\n");
        return 0;
      }
      // The first VOP is time 0; B-VOPs after it count from the start of the stream's seconds.
      rec.CT = 0;
      m->origin = (m->gov_pending ? static_cast<int64_t>(m->gov_seconds) * R : 0) + within;
      m->gov_pending = 1;
      gov_base = -within;
    } else if (rec.type == 'B') {
      rec.CT = m->previous_base + within;
    } else {
      // After a group-of-VOP header the seconds count from its time code.
      rec.CT = (m->gov_pending ? gov_base : m->current_base) + within;
      if (rec.CT == m->current_anchor.CT) {
        std::printf("\tignoring this VOP\n");
        return 0;
      }
    }
    if (rec.type == 'B' && m->pending_count >= MP4V_MAX_PENDING) {
      mp4_log(h, MP4_LOG_ERROR, "Too many B-VOPs in a row\n");
      return 1;
    }
    if (m->mode == MP4_HANDLER_WRITE) {
      if (mp4file_write_media(h, data, static_cast<uint32_t>(L), &rec.offset) != 0) return 1;
    }
    rec.size = static_cast<uint32_t>(L);
    rec.number = m->vop_number;
    if (rec.type != 'B' || !m->have_anchor) {
      // Emit the anchor and the B-VOPs that followed it, now that their decode times are known.
      if (m->have_anchor) {
        const int k = m->pending_count;
        for (int j = 0; j <= k; ++j) {
          m->pending[j].DT = m->pending[(j + 1) % (k + 1)].CT;
          if (mp4v_emit(m, h, &m->pending[j]) != 0) return 1;
        }
      }
      m->pending_count = 0;
      m->previous_anchor = m->current_anchor;
      m->current_anchor = rec;
      m->previous_base = m->gov_pending ? gov_base : m->current_base;
      m->current_base = rec.CT - rec.vop_time_increment;
      m->gov_pending = 0;
      m->have_anchor = 1;
      m->pending[0] = rec;
    } else {
      m->pending[++m->pending_count] = rec;
    }
    ++m->vop_number;
    return 0;
  }
  // Flush: hand the anchor, its B-VOPs and finally the last record to the tables.
  if (m->have_anchor) {
    const int k = m->pending_count;
    for (int j = 0; j <= k; ++j) {
      m->pending[j].DT = m->pending[(j + 1) % (k + 1)].CT;
      if (mp4v_emit(m, h, &m->pending[j]) != 0) return 1;
    }
    m->pending_count = 0;
    m->have_anchor = 0;
  }
  return mp4v_emit(m, h, nullptr);
}

// ---- MP3 ----

int mp3_frame(mp4_media_handler* m, mp4file* h, const uint8_t* data, int64_t L) {
  if (L < 4) {
    mp4_log(h, MP4_LOG_ERROR, "Truncated audio frame - only have %d out of expected %d bytes\n",
            static_cast<int>(L), 4);
    return 1;
  }
  const uint32_t header = be32(data);
  const int N = mp3_frame_length(header);
  const int rate = mp3_sampling_rate(header);
  if (N < 4 || rate <= 0 || (header & 0xFFE00000u) != 0xFFE00000u) {
    mp4_log(h, MP4_LOG_ERROR, "Sample %d does not start with an audio frame header\n",
            static_cast<int>(m->vop_number));
    return 1;
  }
  if (!m->have_first_mp3) {
    m->first_mp3_header = header;
    m->have_first_mp3 = 1;
  }
  const int first_rate = mp3_sampling_rate(m->first_mp3_header);
  if (rate != first_rate) {
    mp4_log(h, MP4_LOG_WARNING, "mp3 audio sample rate seems to have changed to %dHz (previous audio frame was %dHz)\n",
            rate, first_rate);
    m->first_mp3_header = header;
  }
  if (m->mode == MP4_HANDLER_WRITE) m->track->timescale = static_cast<uint32_t>(rate);
  if (L < N) {
    mp4_log(h, MP4_LOG_ERROR, "Truncated audio frame - only have %d out of expected %d bytes\n",
            static_cast<int>(L), N);
    return 1;
  }
  const int spf = mp3_samples_per_frame(header);
  if (m->mode == MP4_HANDLER_WRITE) {
    uint64_t offset;
    if (mp4file_write_media(h, data, static_cast<uint32_t>(N), &offset) == 0)
      mp4file_stbl_add_sample(m->track, offset, static_cast<uint32_t>(N), 1, static_cast<uint32_t>(spf), 0);
  } else {
    const double T = m->track->timescale ? m->track->timescale : 1;
    uint32_t file_delta = 0;
    mp4_track_sample_delta(m->track, m->vop_number, &file_delta);
    error_stats_add(&m->dt_stats, file_delta / T - static_cast<double>(spf) / rate);
    error_stats_add(&m->ct_stats, mp4_track_composition_offset(m->track, m->vop_number) / T);
  }
  ++m->vop_number;
  return 0;
}

int mp3_handle(mp4_media_handler* m, mp4file* h, const uint8_t* data, int64_t L, int whole) {
  const uint8_t* frame = nullptr;
  if (L < 0) {
    if (!m->started) return 1;
    // The stream's final frame is complete only now that no more data will come.
    mp3_parser_flush(m->mp3, &frame);
    if (frame) mp3_frame(m, h, frame, m->mp3->frame_length);
    return 0;
  }
  m->started = 1;
  if (m->mode == MP4_HANDLER_CHECK_DSI) {
    if (L != 0)
      mp4_log(h, MP4_LOG_WARNING, "DecoderSpecificInfo contained %d bytes, should be empty for mp3\n",
              static_cast<int>(L));
    return 0;
  }
  if (whole) return mp3_frame(m, h, data, L);
  // Feed in pieces that always fit once the parser has dropped what it handed out or skipped.
  int64_t done = 0;
  while (done < L) {
    size_t piece = static_cast<size_t>(L - done) < MP3_PARSER_BUFFER / 2 ? static_cast<size_t>(L - done)
                                                                          : MP3_PARSER_BUFFER / 2;
    if (mp3_parser_feed(m->mp3, data + done, piece, &frame) != 0) return 1;
    done += static_cast<int64_t>(piece);
    while (frame) {
      mp3_frame(m, h, frame, m->mp3->frame_length);
      if (mp3_parser_feed(m->mp3, nullptr, 0, &frame) != 0) return 1;
    }
  }
  return 0;
}

}  // namespace

int media_specific_handle_data(mp4_media_handler* m, mp4file* h, const uint8_t* data, int64_t length, int whole) {
  if (!m) return 1;
  if (m->mp3) return mp3_handle(m, h, data, length, whole);
  return mp4v_handle(m, h, data, length, whole);
}
