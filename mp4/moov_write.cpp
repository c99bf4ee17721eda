// Writing the track records back as the atom tree, in the order other readers expect.
#include <cstring>

#include "mp4/internal.h"

namespace {

constexpr uint32_t T(const char (&s)[5]) { return mp4_fourcc(s); }

struct writer_scope {
  mp4_atom_writer w;
  const char** error;
  writer_scope(mp4fileio* io, uint32_t type, const char** e) : error(e) {
    const char* local = nullptr;
    mp4_atom_begin(io, &w, type, 0, &local);
    if (local && !*error) *error = local;
  }
  uint64_t end() {
    const char* local = nullptr;
    uint64_t size = mp4_atom_end(&w, 0, &local);
    if (local && !*error) *error = local;
    return size;
  }
};

void write_matrix(mp4fileio* io) {
  static const uint32_t m[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
  for (uint32_t v : m) mp4fileio_write32(io, v);
}

void write_zeros(mp4fileio* io, size_t n) {
  static const uint8_t zeros[64] = {};
  while (n > 0) {
    size_t k = n < sizeof zeros ? n : sizeof zeros;
    mp4fileio_write(io, zeros, k);
    n -= k;
  }
}

void write_expandable(mp4fileio* io, uint32_t size) {
  for (int i = 0; i < 4; ++i) {
    uint32_t b = (size >> (21 - 7 * i)) & 0x7F;
    if (i < 3) b |= 0x80;
    mp4fileio_write8(io, b);
  }
}

uint32_t pack_language(const char* l) {
  return ((uint32_t(l[0] - 0x60) & 0x1F) << 10) | ((uint32_t(l[1] - 0x60) & 0x1F) << 5) |
         (uint32_t(l[2] - 0x60) & 0x1F);
}

void write_mvhd(mp4_movie* m, mp4fileio* io, const char** error) {
  if ((m->version_flags >> 24) != 0) {
    *error = "mp4file_mvhd_write() : version != 0 not yet supported";
    return;
  }
  writer_scope a(io, T("mvhd"), error);
  mp4fileio_write32(io, m->version_flags);
  mp4fileio_write32(io, static_cast<uint32_t>(m->creation));
  mp4fileio_write32(io, static_cast<uint32_t>(m->modification));
  mp4fileio_write32(io, m->timescale);
  mp4fileio_write32(io, static_cast<uint32_t>(m->duration));
  mp4fileio_write32(io, 0x00010000);
  mp4fileio_write16(io, 0x0100);
  write_zeros(io, 2 + 8);
  write_matrix(io);
  write_zeros(io, 24);
  mp4fileio_write32(io, m->next_track_ID);
  a.end();
}

void write_iods(mp4_movie* m, mp4fileio* io, const char** error) {
  writer_scope a(io, T("iods"), error);
  mp4fileio_write32(io, 0);
  mp4fileio_write8(io, 0x10);
  mp4fileio_write8(io, 7 + 9 * m->track_count);
  mp4fileio_write16(io, 0x004F);
  mp4fileio_write8(io, 0xFF);
  mp4fileio_write8(io, 0xFF);
  mp4fileio_write8(io, m->audio_profile);
  mp4fileio_write8(io, m->visual_profile);
  mp4fileio_write8(io, 0xFF);
  for (uint32_t i = 0; i < m->track_count; ++i) {
    mp4fileio_write8(io, 0x0E);
    write_expandable(io, 4);
    mp4fileio_write32(io, m->tracks[i].track_ID);
  }
  a.end();
}

void write_tkhd(mp4_track* t, mp4fileio* io, const char** error) {
  if ((t->tkhd_version_flags >> 24) != 0) {
    *error = "mp4file_tkhd_write() : version != 0 not yet supported";
    return;
  }
  writer_scope a(io, T("tkhd"), error);
  mp4fileio_write32(io, t->tkhd_version_flags);
  mp4fileio_write32(io, static_cast<uint32_t>(t->tkhd_creation));
  mp4fileio_write32(io, static_cast<uint32_t>(t->tkhd_modification));
  mp4fileio_write32(io, t->track_ID);
  mp4fileio_write32(io, 0);
  mp4fileio_write32(io, static_cast<uint32_t>(t->tkhd_duration));
  write_zeros(io, 8 + 2 + 2);
  mp4fileio_write16(io, t->is_audio ? 0x0100 : 0);
  mp4fileio_write16(io, 0);
  write_matrix(io);
  mp4fileio_write32(io, t->is_visual ? t->width << 16 : 0);
  mp4fileio_write32(io, t->is_visual ? t->height << 16 : 0);
  a.end();
}

int write_mdhd(mp4_track* t, mp4fileio* io, const char** error) {
  if ((t->mdhd_version_flags >> 24) != 0) {
    *error = "mp4file_mdhd_write() : version != 0 not yet supported";
    return 1;
  }
  writer_scope a(io, T("mdhd"), error);
  mp4fileio_write32(io, t->mdhd_version_flags);
  mp4fileio_write32(io, static_cast<uint32_t>(t->mdhd_creation));
  mp4fileio_write32(io, static_cast<uint32_t>(t->mdhd_modification));
  mp4fileio_write32(io, t->timescale);
  mp4fileio_write32(io, static_cast<uint32_t>(t->media_duration));
  mp4fileio_write16(io, pack_language(t->language));
  mp4fileio_write16(io, 0);
  a.end();
  return *error ? 1 : 0;
}

int write_hdlr(mp4_track* t, mp4fileio* io, const char** error) {
  writer_scope a(io, T("hdlr"), error);
  mp4fileio_write32(io, 0);
  mp4fileio_write32(io, 0);
  mp4fileio_write32(io, t->is_visual ? T("vide") : t->is_audio ? T("soun") : mp4_be32(reinterpret_cast<const uint8_t*>(t->handler_type)));
  write_zeros(io, 12);
  mp4fileio_write(io, t->handler_name, std::strlen(t->handler_name) + 1);
  a.end();
  return *error ? 1 : 0;
}

int write_dinf(mp4fileio* io, const char** error) {
  writer_scope dinf(io, T("dinf"), error);
  {
    writer_scope dref(io, T("dref"), error);
    mp4fileio_write32(io, 0);
    mp4fileio_write32(io, 1);
    {
      writer_scope url(io, T("url "), error);
      mp4fileio_write32(io, 0x00000001);
      url.end();
    }
    dref.end();
  }
  dinf.end();
  return *error ? 1 : 0;
}

void write_esds(mp4_track* t, mp4_sample_entry* e, mp4fileio* io, const char** error) {
  writer_scope a(io, T("esds"), error);
  mp4fileio_write32(io, 0);
  mp4fileio_write8(io, 0x03);
  write_expandable(io, 32 + e->dsi_length);
  mp4fileio_write16(io, e->ES_ID);
  mp4fileio_write8(io, 0);
  mp4fileio_write8(io, 0x04);
  write_expandable(io, 18 + e->dsi_length);
  mp4fileio_write8(io, e->objectTypeIndication);
  mp4fileio_write8(io, (e->streamType << 2) | 1);
  mp4fileio_write24(io, e->bufferSizeDB);
  mp4fileio_write32(io, e->maxBitrate);
  mp4fileio_write32(io, e->avgBitrate);
  mp4fileio_write8(io, 0x05);
  write_expandable(io, e->dsi_length);
  if (e->dsi_length) mp4fileio_write(io, e->dsi, e->dsi_length);
  mp4fileio_write8(io, 0x06);
  write_expandable(io, 1);
  mp4fileio_write8(io, 0x02);
  a.end();
}

void write_stsd(mp4_track* t, mp4fileio* io, const char** error) {
  if (t->stsd.entry_count != 1) {
    *error = "mp4file_stsd_write() : stsd->entry_count != 1";
    return;
  }
  if (!t->is_visual && !t->is_audio) {
    *error = "mp4file_stsd_write() : track is neither visual nor audio";
    return;
  }
  mp4_sample_entry* e = &t->stsd.entries[0];
  writer_scope a(io, T("stsd"), error);
  mp4fileio_write32(io, 0);
  mp4fileio_write32(io, 1);
  if (t->is_visual) {
    writer_scope s(io, T("mp4v"), error);
    write_zeros(io, 6);
    mp4fileio_write16(io, 1);
    write_zeros(io, 16);
    mp4fileio_write16(io, e->width);
    mp4fileio_write16(io, e->height);
    mp4fileio_write32(io, 0x00480000);
    mp4fileio_write32(io, 0x00480000);
    mp4fileio_write32(io, 0);
    mp4fileio_write16(io, 1);
    write_zeros(io, 32);
    mp4fileio_write16(io, 0x0018);
    mp4fileio_write16(io, 0xFFFF);
    write_esds(t, e, io, error);
    s.end();
  } else {
    writer_scope s(io, T("mp4a"), error);
    write_zeros(io, 6);
    mp4fileio_write16(io, 1);
    write_zeros(io, 8);
    mp4fileio_write16(io, 2);
    mp4fileio_write16(io, 16);
    mp4fileio_write32(io, 0);
    mp4fileio_write16(io, t->timescale & 0xFFFF);
    mp4fileio_write16(io, 0);
    write_esds(t, e, io, error);
    s.end();
  }
  a.end();
}

void write_table(mp4fileio* io, uint32_t type, uint32_t count, const uint8_t* entries, size_t width,
                 const char** error) {
  writer_scope a(io, type, error);
  mp4fileio_write32(io, 0);
  mp4fileio_write32(io, count);
  if (count) mp4fileio_write(io, entries, count * width);
  a.end();
}

void write_stbl(mp4_track* t, mp4fileio* io, const char** error) {
  uint64_t stts_samples = 0;
  for (uint32_t i = 0; i < t->stts.entry_count; ++i) stts_samples += mp4_be32(t->stts.entries + 8 * i);
  if (stts_samples != t->stsz.sample_count) {
    *error = "mp4file_stbl_write() : 'stts' and 'stsz' sample counts differ";
    return;
  }
  writer_scope a(io, T("stbl"), error);
  write_stsd(t, io, error);
  {
    writer_scope z(io, T("stsz"), error);
    mp4fileio_write32(io, 0);
    mp4fileio_write32(io, t->stsz.sample_size);
    mp4fileio_write32(io, t->stsz.sample_count);
    if (t->stsz.sample_size == 0 && t->stsz.sample_count)
      mp4fileio_write(io, t->stsz.entries, 4 * size_t(t->stsz.sample_count));
    z.end();
  }
  write_table(io, T("stsc"), t->stsc.entry_count, t->stsc.entries, 12, error);
  write_table(io, T("stts"), t->stts.entry_count, t->stts.entries, 8, error);
  if (t->ctts.present) write_table(io, T("ctts"), t->ctts.entry_count, t->ctts.entries, 8, error);
  // No stss when every sample is a sync sample: an empty table would mean "none is".
  if (t->stss.present) write_table(io, T("stss"), t->stss.entry_count, t->stss.entries, 4, error);
  if (t->stco.width == 8)
    write_table(io, T("co64"), t->stco.entry_count, t->stco.entries, 8, error);
  else
    write_table(io, T("stco"), t->stco.entry_count, t->stco.entries, 4, error);
  a.end();
}

void write_minf(mp4_track* t, mp4fileio* io, const char** error) {
  writer_scope a(io, T("minf"), error);
  if (t->is_visual) {
    writer_scope v(io, T("vmhd"), error);
    mp4fileio_write32(io, 0x00000001);
    write_zeros(io, 8);
    v.end();
  } else if (t->is_audio) {
    writer_scope s(io, T("smhd"), error);
    mp4fileio_write32(io, 0x00000001);
    mp4fileio_write32(io, 0);
    s.end();
  }
  if (write_dinf(io, error) == 0) write_stbl(t, io, error);
  a.end();
}

void write_trak(mp4_track* t, mp4fileio* io, const char** error) {
  writer_scope trak(io, T("trak"), error);
  write_tkhd(t, io, error);
  {
    writer_scope mdia(io, T("mdia"), error);
    if (write_mdhd(t, io, error) == 0 && write_hdlr(t, io, error) == 0) write_minf(t, io, error);
    mdia.end();
  }
  trak.end();
}

}  // namespace

uint64_t mp4file_moov_write(mp4_movie* movie, mp4fileio* io, const char** error) {
  if (mp4file_moov_compute_duration(movie, error) != 0) return 0;
  writer_scope moov(io, T("moov"), error);
  write_mvhd(movie, io, error);
  for (uint32_t i = 0; i < movie->track_count; ++i) {
    mp4_ctts_normalise(&movie->tracks[i].ctts);
    mp4_track_compute_rates(&movie->tracks[i]);
  }
  write_iods(movie, io, error);
  for (uint32_t i = 0; i < movie->track_count; ++i)
    if (!*error) write_trak(&movie->tracks[i], io, error);
  uint64_t size = moov.end();
  if (io->error && !*error) *error = io->error;
  return size;
}
