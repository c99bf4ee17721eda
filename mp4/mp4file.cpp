// The mp4file handle: opening, creating, finishing and closing files, tracks and samples.
#include "mp4/mp4file.h"

#include <cstdlib>
#include <cstring>

#include "mp4/internal.h"

namespace {

constexpr uint32_t T(const char (&s)[5]) { return mp4_fourcc(s); }

mp4file* handle_new(int read_mode) {
  mp4file* h = static_cast<mp4file*>(std::calloc(1, sizeof(mp4file)));
  if (!h) return nullptr;
  h->read_mode = read_mode;
  h->reference_count = 1;
  h->reserve = -1;
  return h;
}

void open_finish(mp4file* h) {
  if (h->error) {
    h->reference_count = MP4FILE_FAILED;
    return;
  }
  mp4_atom_header header;
  if (mp4_find_atom(&h->io, T("moov"), &header) != 0) {
    h->error = "mp4file_open():  could not find 'moov' atom";
    h->reference_count = MP4FILE_FAILED;
    return;
  }
  if (mp4_load_atom(&h->io, &header, &h->moov, &h->error) != 0) {
    h->reference_count = MP4FILE_FAILED;
    return;
  }
  if (mp4file_moov_read(&h->moov, &h->movie, &h->error) == 0) {
    const int64_t length = mp4fileio_length(&h->io);
    for (uint32_t i = 0; i < h->movie.track_count && !h->error; ++i)
      mp4_track_validate(&h->movie.tracks[i], length, &h->error);
  }
  h->log = nullptr;
  h->log_context = nullptr;
}

void release_tracks(mp4file* h) {
  for (uint32_t i = 0; i < h->movie.track_count; ++i) mp4_track_release(&h->movie.tracks[i]);
  std::free(h->movie.tracks);
  h->movie.tracks = nullptr;
  h->movie.track_count = 0;
}

void copy_io_error(mp4file* h) {
  if (h->io.error) h->error = h->io.error;
}

}  // namespace

mp4file* mp4file_open(const char* path) {
  mp4file* h = handle_new(1);
  if (!h) return nullptr;
  mp4fileio_open(&h->io, path, 0);
  h->error = h->io.error;
  if (!path) h->error = "mp4fileio_open() failed";
  open_finish(h);
  return h;
}

mp4file* mp4file_open_user(const mp4fileio_user_functions* functions, void* context) {
  mp4file* h = handle_new(1);
  if (!h) return nullptr;
  mp4fileio_open_user(&h->io, functions, context);
  h->error = h->io.error;
  open_finish(h);
  return h;
}

mp4file* mp4file_create(const char* path, uint32_t movie_timescale, int64_t reserve) {
  mp4file* h = handle_new(0);
  if (!h) return nullptr;
  mp4_movie* m = &h->movie;
  m->creation = m->modification = mp4_now();
  m->next_track_ID = 1;
  m->audio_profile = m->visual_profile = 0xFE;
  m->tracks = static_cast<mp4_track*>(std::calloc(2, sizeof(mp4_track)));
  if (!m->tracks) {
    std::free(h);
    return nullptr;
  }
  m->track_capacity = 2;
  if (mp4fileio_open(&h->io, path, 1) != 0) {
    h->error = h->io.error;
    return h;
  }
  m->timescale = movie_timescale;
  h->reserve = reserve < 0 ? 0 : reserve;
  for (int64_t i = 0; i < h->reserve; ++i) mp4fileio_write8(&h->io, 0);
  mp4_atom_begin(&h->io, &h->mdat, T("mdat"), 0, &h->error);
  copy_io_error(h);
  return h;
}

uint64_t mp4file_finish(mp4file* h, int faststart) {
  if (!h || h->read_mode || h->reserve < 0) return 0;
  for (uint32_t i = 0; i < h->movie.track_count; ++i)
    if (h->movie.tracks[i].handler) media_specific_handle_data(h->movie.tracks[i].handler, h, nullptr, -1, 1);
  mp4_atom_end(&h->mdat, 0, &h->error);
  if (faststart && !h->error) {
    // Measure first: a moov larger than the reserved room would overwrite sample data.
    mp4fileio counter;
    mp4fileio_open(&counter, nullptr, 0);
    const char* error = nullptr;
    uint64_t need = mp4file_moov_write(&h->movie, &counter, &error);
    if (error) {
      h->error = error;
    } else if (need > static_cast<uint64_t>(h->reserve)) {
      h->error = "mp4file_finish() : reserved space is smaller than the 'moov' atom";
      faststart = 0;
    }
  }
  int64_t end_of_mdat = mp4fileio_tell(&h->io);
  if (faststart) mp4fileio_seek(&h->io, 0);
  int64_t before = mp4fileio_tell(&h->io);
  if (!h->error || !faststart) {
    const char* error = nullptr;
    mp4file_moov_write(&h->movie, &h->io, &error);
    if (error) h->error = error;
  }
  int64_t after = mp4fileio_tell(&h->io);
  // Room left over at the start becomes a free atom, so that the top level stays walkable.
  int64_t gap = faststart ? h->reserve - (after - before) : h->reserve;
  if (gap >= 8) {
    mp4fileio_seek(&h->io, faststart ? after : 0);
    mp4fileio_write32(&h->io, static_cast<uint32_t>(gap));
    mp4fileio_write32(&h->io, T("free"));
    mp4fileio_seek(&h->io, faststart ? end_of_mdat : after);
  }
  copy_io_error(h);
  h->reserve = -1;
  return static_cast<uint64_t>(after - before);
}

void mp4file_close(mp4file* h) {
  if (!h) return;
  if (h->reference_count != MP4FILE_FAILED && !h->read_mode && h->reserve >= 0 &&
      (h->io.file || h->io.counting))
    mp4file_finish(h, h->reserve > 0);
  std::free(h->moov.data);
  release_tracks(h);
  mp4fileio_close(&h->io);
  std::free(h);
}

void mp4file_add_ref(mp4file* h) {
  if (h && h->reference_count != MP4FILE_FAILED) ++h->reference_count;
}

void mp4file_release(mp4file* h) {
  if (!h) return;
  if (h->reference_count == MP4FILE_FAILED || --h->reference_count == 0) mp4file_close(h);
}

const char* mp4file_get_error(const mp4file* h) {
  return h ? h->error : "null pointer: malloc() failed";
}

void mp4file_clear_error(mp4file* h) {
  if (h) h->error = nullptr;
}

void mp4file_set_log_callback(mp4file* h, mp4file_log_function function, void* context) {
  if (!h) return;
  h->log = function;
  h->log_context = context;
}

const char* mp4file_get_version() { return "Version 0.24, 8 May 2002"; }
uint64_t mp4file_get_duration(mp4file* h) { return h ? h->movie.duration : 0; }
uint32_t mp4file_get_timescale(mp4file* h) { return h ? h->movie.timescale : 0; }

mp4_track* mp4file_find_track(mp4file* h, int track_ID) {
  if (!h || track_ID <= 0) return nullptr;
  for (uint32_t i = 0; i < h->movie.track_count; ++i)
    if (h->movie.tracks[i].track_ID == static_cast<uint32_t>(track_ID)) return &h->movie.tracks[i];
  return nullptr;
}

int mp4file_add_track(mp4file* h, uint32_t objectTypeIndication, uint32_t timescale, const char* language) {
  static const char kFailed[] = "mp4file_add_track(): mp4file_moov_add_trak() failed";
  if (!h || h->read_mode || h->reserve < 0) {
    if (h) h->error = kFailed;
    return -1;
  }
  mp4_movie* m = &h->movie;
  const int visual = mp4_is_visual_type(objectTypeIndication);
  const int audio = mp4_is_audio_type(objectTypeIndication);
  if (m->track_count >= 2 || (!visual && !audio)) {
    h->error = kFailed;
    return -1;
  }
  mp4_track* t = &m->tracks[m->track_count];
  std::memset(t, 0, sizeof *t);
  const uint64_t now = mp4_now();
  t->tkhd_version_flags = 0x000003;  // enabled and in the movie, so that every player shows it
  t->tkhd_creation = t->tkhd_modification = now;
  t->track_ID = m->next_track_ID;
  t->is_visual = visual;
  t->is_audio = audio;
  if (visual) {
    t->width = 320;
    t->height = 240;
  }
  t->mdhd_creation = t->mdhd_modification = now;
  t->timescale = timescale;
  for (int i = 0; i < 3; ++i) t->language[i] = language && std::strlen(language) >= 3 ? language[i] : "und"[i];
  t->language[3] = 0;
  std::memcpy(t->handler_type, visual ? "vide" : "soun", 5);
  std::strncpy(t->handler_name, kMp4Banner, 160);
  t->vmhd_present = visual;
  t->vmhd = 1;
  t->smhd_present = audio;
  t->smhd = 1;
  int failed = 0;
  t->dref = static_cast<uint32_t*>(std::calloc(1, sizeof(uint32_t)));
  if (t->dref) {
    t->dref[0] = 1;
    t->dref_count = 1;
  } else {
    failed = 1;
  }
  t->ctts.present = 1;
  t->stss.usable = 1;
  t->stco.width = 4;
  mp4_put_be32(t->stsc.inline_entry, 1);
  mp4_put_be32(t->stsc.inline_entry + 4, 1);
  mp4_put_be32(t->stsc.inline_entry + 8, 1);
  t->stsc.entries = t->stsc.inline_entry;
  t->stsc.entry_count = 1;
  t->stsd.entries = static_cast<mp4_sample_entry*>(std::calloc(1, sizeof(mp4_sample_entry)));
  if (t->stsd.entries) {
    t->stsd.entry_count = 1;
    mp4_sample_entry* e = &t->stsd.entries[0];
    std::memcpy(e->format, visual ? "mp4v" : "mp4a", 5);
    e->data_reference_index = 1;
    e->ES_ID = t->track_ID;
    e->objectTypeIndication = objectTypeIndication;
    e->streamType = visual ? 4 : 5;
    if (visual) {
      e->width = 320;
      e->height = 240;
    }
  } else {
    failed = 1;
  }
  t->handler = mp4_media_handler_create(objectTypeIndication, t, 0);
  if (!t->handler) failed = 1;
  if (failed) {
    // A refused track leaves no trace: no slot, no ID, nothing written for it.
    mp4_track_release(t);
    h->error = kFailed;
    return -1;
  }
  ++m->track_count;
  ++m->next_track_ID;
  return static_cast<int>(t->track_ID);
}

int mp4file_open_track(mp4file* h, const char* codec, const char* language, const char* handler_type,
                       uint32_t* timescale) {
  if (!h) return 0;
  for (uint32_t i = 0; i < h->movie.track_count; ++i) {
    mp4_track* t = &h->movie.tracks[i];
    uint32_t o = t->stsd.entry_count ? t->stsd.entries[0].objectTypeIndication : 0;
    if (codec) {
      if (std::strncmp(codec, "mp3", 3) == 0) {
        if (o != 0x69 && o != 0x6B) continue;
      } else if (std::strncmp(codec, "mp4v", 4) == 0) {
        if (o != 0x20) continue;
      } else {
        continue;
      }
    }
    if (language && std::strncmp(language, t->language, 3) != 0 && std::strncmp(t->language, "und", 3) != 0 &&
        std::strncmp(language, "und", 3) != 0)
      continue;
    if (handler_type && std::strncmp(handler_type, t->handler_type, 4) != 0) continue;
    if (timescale) *timescale = t->timescale;
    return static_cast<int>(t->track_ID);
  }
  h->error = "mp4file_open_track() : could not find requested track";
  return 0;
}

int mp4file_set_DecoderSpecificInfo(mp4file* h, int track, const uint8_t* bytes, uint32_t length) {
  mp4_track* t = mp4file_find_track(h, track);
  if (!t || t->stsd.entry_count == 0) return 1;
  mp4_sample_entry* e = &t->stsd.entries[0];
  uint8_t* copy = static_cast<uint8_t*>(std::malloc(length ? length : 1));
  if (!copy) {
    h->error = "mp4file_stsd_set_DecoderSpecificInfo() : malloc() failed";
    return 1;
  }
  if (length) std::memcpy(copy, bytes, length);
  std::free(e->dsi);
  e->dsi = copy;
  e->dsi_length = length;
  return 0;
}

int mp4file_get_DecoderSpecificInfo(mp4file* h, int track, const uint8_t** bytes, uint32_t* length) {
  mp4_track* t = mp4file_find_track(h, track);
  *bytes = nullptr;
  *length = 0;
  if (!t || t->stsd.entry_count == 0) return 1;
  *bytes = t->stsd.entries[0].dsi;
  *length = t->stsd.entries[0].dsi_length;
  return 0;
}

int mp4file_set_video_size(mp4file* h, int track, uint32_t width, uint32_t height) {
  mp4_track* t = mp4file_find_track(h, track);
  if (!t) return 1;
  t->width = width;
  t->height = height;
  if (t->stsd.entry_count) {
    t->stsd.entries[0].width = width;
    t->stsd.entries[0].height = height;
  }
  return 0;
}

int mp4file_get_objectTypeIndication(mp4file* h, int track) {
  mp4_track* t = mp4file_find_track(h, track);
  if (!t || t->stsd.entry_count == 0) return -1;
  return static_cast<int>(t->stsd.entries[0].objectTypeIndication);
}

int mp4_file_add_sample(mp4file* h, int track, const uint8_t* data, int64_t length, int whole) {
  mp4_track* t = mp4file_find_track(h, track);
  if (!t || !t->handler || h->reserve < 0 ||
      media_specific_handle_data(t->handler, h, data, length, whole) != 0) {
    if (h) h->error = "mp4_file_add_sample() : problem in media_specific_handle_data()";
    return 1;
  }
  return 0;
}

int mp4file_add_raw_sample(mp4file* h, int track, const uint8_t* data, uint32_t length, int sync,
                           uint32_t duration, int32_t composition_offset) {
  mp4_track* t = mp4file_find_track(h, track);
  if (!t || h->read_mode || h->reserve < 0) {
    if (h) h->error = "mp4_file_add_sample() : file is not open for writing";
    return 1;
  }
  int64_t offset = mp4fileio_tell(&h->io);
  if (h->io.error) {
    h->error = h->io.error;
    return 1;
  }
  // The mdat carries a 32-bit size: refuse what would make it wrap.
  if (static_cast<uint64_t>(offset) + length - static_cast<uint64_t>(h->mdat.start) > 0xFFFFFFFFull) {
    h->error = "mp4_file_add_sample() : 'mdat' would exceed 4 GiB";
    return 1;
  }
  mp4fileio_write(&h->io, data, length);
  if (h->io.error) {
    h->error = h->io.error;
    return 1;
  }
  if (mp4file_stbl_add_sample(t, static_cast<uint64_t>(offset), length, sync, duration, composition_offset) != 0) {
    h->error = "mp4_file_add_sample() : problem with mp4file_stbl_add_sample()";
    return 1;
  }
  return 0;
}

uint32_t mp4file_get_sample_count(mp4file* h, int track) {
  mp4_track* t = mp4file_find_track(h, track);
  return t ? t->stsz.sample_count : 0;
}

int64_t mp4file_get_sample_size(mp4file* h, int track, uint32_t index) {
  mp4_track* t = mp4file_find_track(h, track);
  if (!t) return -1;
  return mp4_track_sample_size(t, index);
}

uint32_t mp4file_read_sample(mp4file* h, int track, uint32_t index, uint8_t* buffer, uint32_t buffer_size) {
  mp4_track* t = mp4file_find_track(h, track);
  if (!t || index >= t->stsz.sample_count) {
    if (h) h->error = "mp4file_read_sample() : no such sample";
    return 0;
  }
  uint32_t size = mp4_track_sample_size(t, index);
  if (buffer_size < size) {
    h->error = "mp4file_read_sample() : user-supplied buffer was too small";
    return 0;
  }
  uint64_t offset;
  if (mp4_track_locate(t, index, &offset) != 0) {
    h->error = "mp4file_read_sample() : sample lies outside the file";
    return 0;
  }
  const int64_t length = mp4fileio_length(&h->io);
  if (offset > static_cast<uint64_t>(length) || size > static_cast<uint64_t>(length) - offset) {
    h->error = "mp4file_read_sample() : sample lies outside the file";
    return 0;
  }
  // A file being written must go on at its end after a look back.
  const int64_t resume = h->read_mode ? -1 : mp4fileio_tell(&h->io);
  mp4fileio_seek(&h->io, static_cast<int64_t>(offset));
  mp4fileio_read(&h->io, buffer, size);
  const char* error = h->io.error;
  h->io.error = nullptr;  // a failed read must not poison every later one
  if (resume >= 0) mp4fileio_seek(&h->io, resume);
  if (error) {
    h->error = error;
    return 0;
  }
  return size;
}

int mp4file_get_sample_time(mp4file* h, int track, uint32_t index, uint64_t* time, uint32_t* timescale) {
  mp4_track* t = mp4file_find_track(h, track);
  *time = 0;
  if (timescale) *timescale = t ? t->timescale : 0;
  if (!t) return 1;
  uint64_t dt;
  int r = mp4_track_decode_time(t, index, &dt);
  *time = dt + static_cast<uint64_t>(static_cast<int64_t>(mp4_track_composition_offset(t, index)));
  return r;
}

int mp4file_get_sample_decode_time(mp4file* h, int track, uint32_t index, uint64_t* time) {
  mp4_track* t = mp4file_find_track(h, track);
  *time = 0;
  if (!t) return 1;
  return mp4_track_decode_time(t, index, time);
}

int mp4file_get_sample_offset(mp4file* h, int track, uint32_t index, uint64_t* offset) {
  mp4_track* t = mp4file_find_track(h, track);
  *offset = 0;
  if (!t) return 1;
  return mp4_track_locate(t, index, offset);
}

uint32_t mp4file_get_sample_at_time(mp4file* h, int track, uint64_t time) {
  mp4_track* t = mp4file_find_track(h, track);
  if (!t) return 0;
  uint32_t found = 0;
  for (uint32_t i = 0; i < t->stsz.sample_count; ++i) {
    uint64_t ct;
    mp4file_get_sample_time(h, track, i, &ct, nullptr);
    if (ct <= time) found = i;
  }
  return found;
}

int mp4file_get_vop_type(mp4file* h, int track, uint32_t index) {
  mp4_track* t = mp4file_find_track(h, track);
  if (!t || index >= t->stsz.sample_count) return 0;
  uint64_t offset;
  if (mp4_track_locate(t, index, &offset) != 0) return 0;
  // Look at the VOP start code itself: samples may begin with a group-of-VOP header.
  uint8_t head[64] = {};
  uint32_t size = mp4_track_sample_size(t, index);
  uint32_t n = size < sizeof head ? size : sizeof head;
  if (n < 5) return 0;
  const int64_t resume = h->read_mode ? -1 : mp4fileio_tell(&h->io);
  mp4fileio_seek(&h->io, static_cast<int64_t>(offset));
  mp4fileio_read(&h->io, head, n);
  const char* error = h->io.error;
  h->io.error = nullptr;
  if (resume >= 0) mp4fileio_seek(&h->io, resume);
  if (error) {
    h->error = error;
    return 0;
  }
  for (uint32_t p = 0; p + 4 < n; ++p)
    if (head[p] == 0 && head[p + 1] == 0 && head[p + 2] == 1 && head[p + 3] == 0xB6) return head[p + 4] >> 6;
  return head[4] >> 6;
}

namespace {
uint32_t stss_entry(const mp4_track* t, uint32_t i) { return mp4_be32(t->stss.entries + 4 * i); }
// Index of the first entry >= number.
uint32_t stss_lower_bound(const mp4_track* t, uint32_t number) {
  uint32_t lo = 0, hi = t->stss.entry_count;
  while (lo < hi) {
    uint32_t mid = lo + (hi - lo) / 2;
    if (stss_entry(t, mid) < number)
      lo = mid + 1;
    else
      hi = mid;
  }
  return lo;
}
}  // namespace

int mp4file_is_sync_sample(mp4file* h, int track, uint32_t number) {
  mp4_track* t = mp4file_find_track(h, track);
  if (!t) return 0;
  if (!t->stss.present) return 1;
  if (!t->stss.usable) return number == 1;
  uint32_t i = stss_lower_bound(t, number);
  return i < t->stss.entry_count && stss_entry(t, i) == number;
}

uint32_t mp4file_prev_sync_sample(mp4file* h, int track, uint32_t number) {
  mp4_track* t = mp4file_find_track(h, track);
  if (!t) return 0;
  if (!t->stss.present) return number;
  if (!t->stss.usable) return 1;
  uint32_t i = stss_lower_bound(t, number);
  return i == 0 ? 0 : stss_entry(t, i - 1);
}

uint32_t mp4file_next_sync_sample(mp4file* h, int track, uint32_t number) {
  mp4_track* t = mp4file_find_track(h, track);
  if (!t) return 0;
  if (!t->stss.present) return number;
  if (!t->stss.usable) return 0;
  uint32_t i = stss_lower_bound(t, number + 1);
  return i < t->stss.entry_count ? stss_entry(t, i) : 0;
}
