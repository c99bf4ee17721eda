// The sample tables: appending samples while writing, and the lookups used while reading. Both
// keep cursors so that walking a track in order costs constant time per sample.
#include <cstdlib>
#include <cstring>

#include "mp4/internal.h"

namespace {

int append_pair(mp4_table_buffer* b, uint8_t** entries, uint32_t* count, uint32_t first,
                uint32_t second) {
  uint8_t e[8];
  mp4_put_be32(e, first);
  mp4_put_be32(e + 4, second);
  int r = mp4_table_append(b, e, 8);
  *entries = b->data;
  if (r == 0) ++*count;
  return r;
}

int append_word(mp4_table_buffer* b, uint8_t** entries, uint32_t* count, uint32_t value) {
  uint8_t e[4];
  mp4_put_be32(e, value);
  int r = mp4_table_append(b, e, 4);
  *entries = b->data;
  if (r == 0) ++*count;
  return r;
}

// Run-length coded (count, value) tables: the last run grows when its value repeats.
int add_run(mp4_table_buffer* b, uint8_t** entries, uint32_t* count, uint32_t value) {
  if (*count > 0) {
    uint8_t* last = b->data + (*count - 1) * 8;
    uint32_t n = mp4_be32(last);
    if (mp4_be32(last + 4) == value && n != 0xFFFFFFFFu) {
      mp4_put_be32(last, n + 1);
      return 0;
    }
  }
  return append_pair(b, entries, count, 1, value);
}

int stco_add(mp4_stco* c, uint64_t offset) {
  if (c->width == 0) c->width = 4;
  if (c->width == 4 && offset > 0xFFFFFFFFull) {
    // An offset past 4 GiB: widen the whole table to 64-bit entries (written as co64).
    mp4_table_buffer wide = {};
    for (uint32_t i = 0; i < c->entry_count; ++i) {
      uint8_t e[8];
      mp4_put_be64(e, mp4_be32(c->entries + 4 * i));
      if (mp4_table_append(&wide, e, 8) != 0) {
        mp4_table_free(&wide);
        return 1;
      }
    }
    mp4_table_free(&c->buffer);
    c->buffer = wide;
    c->entries = wide.data;
    c->width = 8;
  }
  uint8_t e[8];
  if (c->width == 8)
    mp4_put_be64(e, offset);
  else
    mp4_put_be32(e, static_cast<uint32_t>(offset));
  int r = mp4_table_append(&c->buffer, e, static_cast<size_t>(c->width));
  c->entries = c->buffer.data;
  if (r == 0) ++c->entry_count;
  return r;
}

}  // namespace

int mp4file_stbl_add_sample(mp4_track* t, uint64_t offset, uint32_t size, int sync,
                            uint32_t duration, int32_t composition_offset) {
  int failed = 0;
  // stts
  failed |= add_run(&t->stts.buffer, &t->stts.entries, &t->stts.entry_count, duration);
  t->stts.total += duration;
  // ctts
  failed |= add_run(&t->ctts.buffer, &t->ctts.entries, &t->ctts.entry_count,
                    static_cast<uint32_t>(composition_offset));
  // stsz: one common size until a sample differs, then a full table.
  mp4_stsz* z = &t->stsz;
  if (z->sample_count == 0 && size != 0) {
    z->sample_size = size;
    ++z->sample_count;
  } else if (z->sample_size != 0 && size == z->sample_size) {
    ++z->sample_count;
  } else {
    uint32_t listed = 0;
    if (z->sample_size != 0) {
      for (uint32_t i = 0; i < z->sample_count; ++i)
        failed |= append_word(&z->buffer, &z->entries, &listed, z->sample_size);
      z->sample_size = 0;
    }
    failed |= append_word(&z->buffer, &z->entries, &listed, size);
    ++z->sample_count;
  }
  // stss: kept only once some sample is not a sync sample.
  mp4_stss* s = &t->stss;
  if (!s->present && !sync) {
    for (uint32_t n = 1; n <= s->samples_added; ++n)
      failed |= append_word(&s->buffer, &s->entries, &s->entry_count, n);
    s->present = 1;
    s->usable = 1;
  }
  if (s->present && sync)
    failed |= append_word(&s->buffer, &s->entries, &s->entry_count, s->samples_added + 1);
  ++s->samples_added;
  // stco: every sample is its own chunk.
  failed |= stco_add(&t->stco, offset);
  return failed ? 1 : 0;
}

uint32_t mp4_track_sample_size(const mp4_track* t, uint64_t index) {
  if (index >= t->stsz.sample_count) return 0;
  if (t->stsz.sample_size != 0) return t->stsz.sample_size;
  return mp4_be32(t->stsz.entries + 4 * index);
}

uint64_t mp4_track_chunk_offset(const mp4_track* t, uint64_t chunk_index) {
  if (chunk_index >= t->stco.entry_count) return 0;
  if (t->stco.width == 8) return mp4_be64(t->stco.entries + 8 * chunk_index);
  return mp4_be32(t->stco.entries + 4 * chunk_index);
}

int mp4_track_decode_time(mp4_track* t, uint64_t index, uint64_t* time) {
  mp4_stts* s = &t->stts;
  *time = 0;
  if (s->entry_count == 0) return index == 0 ? 0 : 1;
  if (index < s->cursor_first || s->cursor_entry >= s->entry_count) {
    s->cursor_entry = 0;
    s->cursor_first = 0;
    s->cursor_time = 0;
  }
  for (;;) {
    const uint8_t* e = s->entries + 8 * s->cursor_entry;
    uint64_t count = mp4_be32(e);
    uint64_t delta = mp4_be32(e + 4);
    if (s->cursor_first + count <= index && s->cursor_entry + 1 < s->entry_count) {
      s->cursor_first += count;
      s->cursor_time += count * delta;
      ++s->cursor_entry;
      continue;
    }
    if (index > s->cursor_first + count) {  // beyond the table
      *time = s->cursor_time + count * delta;
      return 1;
    }
    *time = s->cursor_time + (index - s->cursor_first) * delta;
    return 0;
  }
}

int mp4_track_sample_delta(mp4_track* t, uint64_t index, uint32_t* delta) {
  uint64_t time;
  *delta = 0;
  if (mp4_track_decode_time(t, index, &time) != 0 || t->stts.entry_count == 0) return 1;
  const uint8_t* e = t->stts.entries + 8 * t->stts.cursor_entry;
  if (index >= t->stts.cursor_first + mp4_be32(e)) return 1;
  *delta = mp4_be32(e + 4);
  return 0;
}

int32_t mp4_track_composition_offset(mp4_track* t, uint64_t index) {
  mp4_ctts* c = &t->ctts;
  if (!c->present || c->entry_count == 0) return 0;
  if (index < c->cursor_first || c->cursor_entry >= c->entry_count) {
    c->cursor_entry = 0;
    c->cursor_first = 0;
  }
  for (;;) {
    const uint8_t* e = c->entries + 8 * c->cursor_entry;
    uint64_t count = mp4_be32(e);
    if (index < c->cursor_first + count) return static_cast<int32_t>(mp4_be32(e + 4));
    if (c->cursor_entry + 1 >= c->entry_count) {
      c->cursor_entry = 0;
      c->cursor_first = 0;
      return 0;
    }
    c->cursor_first += count;
    ++c->cursor_entry;
  }
}

int mp4_track_locate(mp4_track* t, uint64_t index, uint64_t* offset) {
  *offset = 0;
  if (index >= t->stsz.sample_count) return 1;
  mp4_locate_cursor* c = &t->locate;
  if (!(c->valid && index >= c->chunk_first && index < c->chunk_end)) {
    mp4_stsc* s = &t->stsc;
    if (s->entry_count == 0) return 1;
    if (index < s->cursor_before || s->cursor_entry >= s->entry_count) {
      s->cursor_entry = 0;
      s->cursor_before = 0;
    }
    while (s->cursor_entry + 1 < s->entry_count) {
      const uint8_t* e = s->entries + 12 * s->cursor_entry;
      uint64_t first = mp4_be32(e), next = mp4_be32(e + 12), spc = mp4_be32(e + 4);
      if (next <= first) return 1;
      uint64_t n = (next - first) * spc;
      if (index < s->cursor_before + n) break;
      s->cursor_before += n;
      ++s->cursor_entry;
    }
    const uint8_t* e = s->entries + 12 * s->cursor_entry;
    uint64_t first = mp4_be32(e), spc = mp4_be32(e + 4);
    if (spc == 0 || first == 0) return 1;
    uint64_t chunk_in_run = (index - s->cursor_before) / spc;
    uint64_t chunk = first + chunk_in_run;  // 1-based
    if (chunk > t->stco.entry_count) return 1;
    c->valid = 1;
    c->chunk_first = s->cursor_before + spc * chunk_in_run;
    c->chunk_end = c->chunk_first + spc;
    c->index = c->chunk_first;
    c->offset = c->chunk_offset = mp4_track_chunk_offset(t, chunk - 1);
  }
  if (index < c->index) {  // backwards inside the chunk: start again at its first sample
    c->index = c->chunk_first;
    c->offset = c->chunk_offset;
  }
  while (c->index < index) c->offset += mp4_track_sample_size(t, c->index++);
  *offset = c->offset;
  return 0;
}

int32_t mp4_ctts_normalise(mp4_ctts* c) {
  int32_t m = 0;
  for (uint32_t i = 0; i < c->entry_count; ++i) {
    int32_t v = static_cast<int32_t>(mp4_be32(c->entries + 8 * i + 4));
    if (v < m) m = v;
  }
  for (uint32_t i = 0; i < c->entry_count; ++i) {
    uint8_t* p = c->entries + 8 * i + 4;
    mp4_put_be32(p, static_cast<uint32_t>(static_cast<int64_t>(static_cast<int32_t>(mp4_be32(p))) - m));
  }
  if (c->entry_count == 0 || (c->entry_count == 1 && mp4_be32(c->entries + 4) == 0)) c->present = 0;
  return -m;
}

namespace {
// Walks the stts deltas in sample order.
struct delta_walker {
  const mp4_stts* s;
  uint32_t entry;
  uint32_t left;
  uint32_t next() {
    while (entry < s->entry_count && left == 0) {
      left = mp4_be32(s->entries + 8 * entry);
      if (left == 0) ++entry;
    }
    if (entry >= s->entry_count) return 0;
    uint32_t d = mp4_be32(s->entries + 8 * entry + 4);
    if (--left == 0) ++entry;
    return d;
  }
};
}  // namespace

void mp4_track_compute_rates(mp4_track* t) {
  mp4_sample_entry* se = t->stsd.entry_count ? &t->stsd.entries[0] : nullptr;
  if (!se) return;
  se->bufferSizeDB = se->maxBitrate = se->avgBitrate = 0;
  const double T = t->timescale;
  const uint32_t n = t->stsz.sample_count;
  if (t->timescale == 0 || n == 0) return;
  delta_walker head{&t->stts, 0, 0}, tail{&t->stts, 0, 0};
  uint64_t window_bytes = 0, window_duration = 0, total_bytes = 0, total_duration = 0;
  uint32_t oldest = 0;
  uint32_t buffer_size = 0, max_rate = 0;
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t size = mp4_track_sample_size(t, i);
    uint32_t delta = head.next();
    if (size > buffer_size) buffer_size = size;
    window_bytes += size;
    window_duration += delta;
    if (i + 1 == n) break;
    total_bytes += size;
    total_duration += delta;
    while (window_duration >= t->timescale && window_duration > 0) {
      double rate = T * static_cast<double>(window_bytes) * 8.0 / static_cast<double>(window_duration);
      if (max_rate < rate) max_rate = static_cast<uint32_t>(rate + 0.5);
      window_bytes -= mp4_track_sample_size(t, oldest++);
      window_duration -= tail.next();
    }
  }
  se->bufferSizeDB = buffer_size;
  se->maxBitrate = max_rate;
  double seconds = static_cast<double>(total_duration) / T;
  se->avgBitrate = seconds == 0 ? 0 : static_cast<uint32_t>(0.5 + 8.0 * static_cast<double>(total_bytes) / seconds);
}

int mp4file_moov_compute_duration(mp4_movie* movie, const char** error) {
  if (movie->track_count == 0) {
    *error = "mp4file_moov_compute_duration() : there are no traks!";
    return 1;
  }
  uint64_t longest = 0;
  for (uint32_t i = 0; i < movie->track_count; ++i) {
    mp4_track* t = &movie->tracks[i];
    uint64_t duration;
    mp4_track_decode_time(t, t->stsz.sample_count, &duration);
    uint64_t in_movie = 0;
    if (t->timescale != 0)
      in_movie = static_cast<uint64_t>((static_cast<unsigned __int128>(duration) * movie->timescale) /
                                       t->timescale);
    if ((t->mdhd_version_flags >> 24) == 0 && (duration > 0xFFFFFFFFull || in_movie > 0xFFFFFFFFull)) {
      *error = "mp4file_trak_compute_duration() : duration needs 64 bits and version is 0";
      return 1;
    }
    t->media_duration = duration;
    t->tkhd_duration = in_movie;
    if (in_movie > longest) longest = in_movie;
  }
  movie->duration = longest;
  return 0;
}

int mp4_track_validate(mp4_track* t, int64_t file_length, const char** error) {
  const uint64_t samples = t->stsz.sample_count;
  if (samples == 0) return 0;
  const mp4_stsc* s = &t->stsc;
  const uint64_t chunks = t->stco.entry_count;
  if (s->entry_count == 0 || chunks == 0) {
    *error = "mp4file_stbl_read():  chunk tables do not cover every sample";
    return 1;
  }
  // Every sample of a constant size takes that many bytes of the file, so the file bounds the
  // count; without this a few bytes of 'stsz' could claim four billion samples.
  const uint64_t fixed = t->stsz.sample_size;
  if (fixed != 0 && samples > static_cast<uint64_t>(file_length) / fixed) {
    *error = "mp4file_stbl_read():  sample data lies beyond the end of the file";
    return 1;
  }
  uint64_t sample = 0;
  for (uint32_t i = 0; i < s->entry_count && sample < samples; ++i) {
    const uint8_t* e = s->entries + 12 * i;
    uint64_t first = mp4_be32(e), spc = mp4_be32(e + 4);
    uint64_t last = i + 1 < s->entry_count ? mp4_be32(e + 12) : chunks + 1;  // one past
    if (first == 0 || spc == 0 || last <= first || last > chunks + 1) {
      *error = "mp4file_stbl_read():  malformed 'stsc' table";
      return 1;
    }
    for (uint64_t chunk = first; chunk < last && sample < samples; ++chunk) {
      uint64_t offset = mp4_track_chunk_offset(t, chunk - 1);
      uint64_t bytes = 0;
      if (fixed != 0) {
        const uint64_t n = spc < samples - sample ? spc : samples - sample;
        bytes = n * fixed;
        sample += n;
      } else {
        for (uint64_t k = 0; k < spc && sample < samples; ++k) bytes += mp4_track_sample_size(t, sample++);
      }
      if (offset > static_cast<uint64_t>(file_length) || bytes > static_cast<uint64_t>(file_length) - offset) {
        *error = "mp4file_stbl_read():  sample data lies beyond the end of the file";
        return 1;
      }
    }
  }
  if (sample < samples) {
    *error = "mp4file_stbl_read():  chunk tables do not cover every sample";
    return 1;
  }
  return 0;
}

void mp4_track_release(mp4_track* t) {
  mp4_table_free(&t->stts.buffer);
  mp4_table_free(&t->ctts.buffer);
  mp4_table_free(&t->stsz.buffer);
  mp4_table_free(&t->stss.buffer);
  mp4_table_free(&t->stco.buffer);
  for (uint32_t i = 0; i < t->stsd.entry_count; ++i) std::free(t->stsd.entries[i].dsi);
  std::free(t->stsd.entries);
  std::free(t->dref);
  if (t->handler) mp4_media_handler_release(t->handler);
  std::memset(t, 0, sizeof *t);
}
