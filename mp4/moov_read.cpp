// Parsing a loaded moov into the track records. Tables stay in the loaded buffer; every count is
// checked against the bytes its atom holds before it is used.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mp4/internal.h"

namespace {

constexpr uint32_t T(const char (&s)[5]) { return mp4_fourcc(s); }

void payload(mp4_mem_atom* a) { a->cursor = a->payload; }

// entries * width must fit into what is left of the atom.
int table_fits(const mp4_mem_atom* a, uint64_t entries, uint64_t width) {
  return entries <= mp4_mem_remaining(a) / width;
}

void read_mvhd(mp4_mem_atom* a, mp4_movie* m) {
  payload(a);
  m->version_flags = mp4_mem_read32(a);
  if ((m->version_flags >> 24) == 1) {
    m->creation = mp4_mem_read64(a);
    m->modification = mp4_mem_read64(a);
    m->timescale = mp4_mem_read32(a);
    m->duration = mp4_mem_read64(a);
  } else {
    m->creation = mp4_mem_read32(a);
    m->modification = mp4_mem_read32(a);
    m->timescale = mp4_mem_read32(a);
    m->duration = mp4_mem_read32(a);
  }
  mp4_mem_skip(a, 4 + 2 + 2 + 8 + 36 + 24);
  m->next_track_ID = mp4_mem_read32(a);
}

void read_tkhd(mp4_mem_atom* a, mp4_track* t) {
  payload(a);
  t->tkhd_version_flags = mp4_mem_read32(a);
  if ((t->tkhd_version_flags >> 24) == 1) {
    t->tkhd_creation = mp4_mem_read64(a);
    t->tkhd_modification = mp4_mem_read64(a);
    t->track_ID = mp4_mem_read32(a);
    mp4_mem_skip(a, 4);
    t->tkhd_duration = mp4_mem_read64(a);
  } else {
    t->tkhd_creation = mp4_mem_read32(a);
    t->tkhd_modification = mp4_mem_read32(a);
    t->track_ID = mp4_mem_read32(a);
    mp4_mem_skip(a, 4);
    t->tkhd_duration = mp4_mem_read32(a);
  }
  mp4_mem_skip(a, 8 + 2 + 2 + 2 + 2 + 36);
  t->width = mp4_mem_read32(a) >> 16;
  t->height = mp4_mem_read32(a) >> 16;
}

void read_mdhd(mp4_mem_atom* a, mp4_track* t) {
  payload(a);
  t->mdhd_version_flags = mp4_mem_read32(a);
  if ((t->mdhd_version_flags >> 24) == 1) {
    t->mdhd_creation = mp4_mem_read64(a);
    t->mdhd_modification = mp4_mem_read64(a);
    t->timescale = mp4_mem_read32(a);
    t->media_duration = mp4_mem_read64(a);
  } else {
    t->mdhd_creation = mp4_mem_read32(a);
    t->mdhd_modification = mp4_mem_read32(a);
    t->timescale = mp4_mem_read32(a);
    t->media_duration = mp4_mem_read32(a);
  }
  uint32_t lang = mp4_mem_read16(a) & 0x7FFF;
  if (lang == 0) {
    std::memcpy(t->language, "und", 4);
  } else {
    t->language[0] = static_cast<char>(((lang >> 10) & 0x1F) + 0x60);
    t->language[1] = static_cast<char>(((lang >> 5) & 0x1F) + 0x60);
    t->language[2] = static_cast<char>((lang & 0x1F) + 0x60);
    t->language[3] = 0;
  }
}

void read_hdlr(mp4_mem_atom* a, mp4_track* t) {
  payload(a);
  t->hdlr_version_flags = mp4_mem_read32(a);
  mp4_mem_skip(a, 4);
  uint32_t type = mp4_mem_read32(a);
  for (int i = 0; i < 4; ++i) t->handler_type[i] = static_cast<char>(type >> (24 - 8 * i));
  t->handler_type[4] = 0;
  mp4_mem_skip(a, 12);
  size_t n = 0;
  while (a->cursor < a->end && *a->cursor != 0 && n < 160) t->handler_name[n++] = static_cast<char>(*a->cursor++);
  t->handler_name[n] = 0;
  t->is_visual = type == T("vide");
  t->is_audio = type == T("soun");
}

int read_dref(mp4_mem_atom* a, mp4_track* t, const char** error) {
  payload(a);
  mp4_mem_read32(a);
  uint32_t count = mp4_mem_read32(a);
  if (!table_fits(a, count, 8)) {
    *error = "mp4file_dref_read():  entry count exceeds atom size";
    return 1;
  }
  std::free(t->dref);
  t->dref = static_cast<uint32_t*>(std::calloc(count ? count : 1, sizeof(uint32_t)));
  if (!t->dref) {
    *error = "mp4file_dref_read():  malloc() failed\n";
    return 1;
  }
  t->dref_count = count;
  mp4_mem_atom entry;
  for (uint32_t i = 0; i < count && mp4_mem_next_child(a, &entry); ++i) {
    payload(&entry);
    t->dref[i] = mp4_mem_read32(&entry);
  }
  return 0;
}

int read_dinf(mp4_mem_atom* a, mp4_track* t, const char** error) {
  payload(a);
  mp4_mem_atom c;
  int have = 0;
  while (mp4_mem_next_child(a, &c)) {
    if (c.type == T("dref")) {
      have = 1;
      read_dref(&c, t, error);
    }
  }
  if (!have) *error = "mp4file_dinf_read():  'dref' not present";
  return *error ? 1 : 0;
}

// Reads the ES descriptor of an esds atom into the sample entry; 0 on success.
int read_esds(mp4_mem_atom* esds, mp4_sample_entry* e) {
  payload(esds);
  mp4_mem_read32(esds);
  uint32_t length;
  if (mp4_mem_next_descriptor(esds, &length, 0) != 0x03) {
    std::printf("mp4file_stsd_read() : expecting ES_DescrTag\n");
    return 1;
  }
  mp4_mem_read16(esds);
  uint32_t flags = mp4_mem_read8(esds);
  e->streamDependence = (flags >> 7) & 1;
  if (e->streamDependence) e->dependsOn_ES_ID = mp4_mem_read16(esds);
  if (flags & 0x40) mp4_mem_skip(esds, mp4_mem_read8(esds));
  e->OCRstream = (flags >> 5) & 1;
  if (e->OCRstream) e->OCR_ES_Id = mp4_mem_read16(esds);
  if (mp4_mem_next_descriptor(esds, &length, 0) != 0x04) {
    std::printf("mp4file_stsd_read() : expecting DecoderConfigDescrTag\n");
    return 1;
  }
  e->objectTypeIndication = mp4_mem_read8(esds);
  e->streamType = mp4_mem_read8(esds) >> 2;
  e->bufferSizeDB = mp4_mem_read24(esds);
  e->maxBitrate = mp4_mem_read32(esds);
  e->avgBitrate = mp4_mem_read32(esds);
  if (mp4_mem_next_descriptor(esds, &length, 0) == 0x05) {
    if (length > mp4_mem_remaining(esds)) {
      std::printf("mp4file_stsd_read() : DecoderSpecificInfo larger than its atom\n");
      return 1;
    }
    e->dsi = static_cast<uint8_t*>(std::malloc(length ? length : 1));
    if (!e->dsi) {
      std::printf("mp4file_stsd_read() : malloc() failed\n");
      return 1;
    }
    std::memcpy(e->dsi, esds->cursor, length);
    e->dsi_length = length;
  }
  return 0;
}

int read_stsd(mp4_mem_atom* a, mp4_track* t) {
  payload(a);
  t->stsd.version_flags = mp4_mem_read32(a);
  uint32_t count = mp4_mem_read32(a);
  if (!table_fits(a, count, 8)) return 1;
  // A second stsd in one stbl replaces the first.
  for (uint32_t i = 0; i < t->stsd.entry_count; ++i) std::free(t->stsd.entries[i].dsi);
  std::free(t->stsd.entries);
  t->stsd.entries = nullptr;
  t->stsd.entry_count = 0;
  t->stsd.entries = static_cast<mp4_sample_entry*>(std::calloc(count ? count : 1, sizeof(mp4_sample_entry)));
  if (!t->stsd.entries) return 1;
  t->stsd.entry_count = count;
  for (uint32_t i = 0; i < count; ++i) {
    mp4_sample_entry* e = &t->stsd.entries[i];
    mp4_mem_atom entry;
    if (!mp4_mem_next_child(a, &entry)) return 1;
    for (int k = 0; k < 4; ++k) e->format[k] = static_cast<char>(entry.type >> (24 - 8 * k));
    e->format[4] = 0;
    entry.cursor = entry.payload;
    mp4_mem_skip(&entry, 6);
    e->data_reference_index = mp4_mem_read16(&entry);
    if (t->is_audio) {
      mp4_mem_skip(&entry, 8 + 2 + 2 + 4 + 4);
    } else if (t->is_visual) {
      mp4_mem_skip(&entry, 16);
      e->width = mp4_mem_read16(&entry);
      e->height = mp4_mem_read16(&entry);
      mp4_mem_skip(&entry, 12 + 2 + 32 + 2 + 2);
    } else {
      return 0;
    }
    mp4_mem_atom esds;
    if (!mp4_mem_next_child(&entry, &esds) || esds.type != T("esds")) {
      std::printf("mp4file_stsd_read() : expecting esds atom\n");
      return 1;
    }
    if (read_esds(&esds, e) != 0) return 1;
  }
  return 0;
}

int read_stts(mp4_mem_atom* a, mp4_track* t, const char** error) {
  payload(a);
  t->stts.version_flags = mp4_mem_read32(a);
  t->stts.entry_count = mp4_mem_read32(a);
  if (!table_fits(a, t->stts.entry_count, 8)) {
    t->stts.entry_count = 0;
    *error = "mp4file_stts_read():  table larger than its atom";
    return 1;
  }
  t->stts.entries = a->cursor;
  return 0;
}

int read_ctts(mp4_mem_atom* a, mp4_track* t, const char** error) {
  payload(a);
  t->ctts.version_flags = mp4_mem_read32(a);
  t->ctts.entry_count = mp4_mem_read32(a);
  if (!table_fits(a, t->ctts.entry_count, 8)) {
    t->ctts.entry_count = 0;
    *error = "mp4file_ctts_read():  table larger than its atom";
    return 1;
  }
  t->ctts.entries = a->cursor;
  t->ctts.present = 1;
  return 0;
}

int read_stsz(mp4_mem_atom* a, mp4_track* t, const char** error) {
  payload(a);
  t->stsz.version_flags = mp4_mem_read32(a);
  t->stsz.sample_size = mp4_mem_read32(a);
  t->stsz.sample_count = mp4_mem_read32(a);
  if (t->stsz.sample_size == 0) {
    if (!table_fits(a, t->stsz.sample_count, 4)) {
      t->stsz.sample_count = 0;
      *error = "mp4file_stsz_read():  table larger than its atom";
      return 1;
    }
    t->stsz.entries = a->cursor;
    for (uint32_t i = 0; i < t->stsz.sample_count; ++i)
      if (mp4_be32(a->cursor + 4 * i) > 50000000) mp4_put_be32(a->cursor + 4 * i, 0);
  }
  return 0;
}

int read_stsc(mp4_mem_atom* a, mp4_track* t, const char** error) {
  payload(a);
  t->stsc.version_flags = mp4_mem_read32(a);
  t->stsc.entry_count = mp4_mem_read32(a);
  if (!table_fits(a, t->stsc.entry_count, 12)) {
    t->stsc.entry_count = 0;
    *error = "mp4file_stsc_read():  table larger than its atom";
    return 1;
  }
  t->stsc.entries = a->cursor;
  return 0;
}

int read_stco(mp4_mem_atom* a, mp4_track* t, const char** error) {
  a->cursor = a->data;
  mp4_mem_read32(a);
  t->stco.width = mp4_mem_read32(a) == T("co64") ? 8 : 4;
  payload(a);
  t->stco.version_flags = mp4_mem_read32(a);
  t->stco.entry_count = mp4_mem_read32(a);
  if (!table_fits(a, t->stco.entry_count, static_cast<uint64_t>(t->stco.width))) {
    t->stco.entry_count = 0;
    *error = "mp4file_stco_read():  table larger than its atom";
    return 1;
  }
  t->stco.entries = a->cursor;
  return 0;
}

int read_stss(mp4_mem_atom* a, mp4_track* t, const char** error) {
  payload(a);
  mp4_stss* s = &t->stss;
  s->present = 1;
  s->version_flags = mp4_mem_read32(a);
  s->entry_count = mp4_mem_read32(a);
  if (!table_fits(a, s->entry_count, 4)) {
    s->entry_count = 0;
    s->usable = 0;
    *error = "mp4file_stss_read():  table larger than its atom";
    return 1;
  }
  s->entries = a->cursor;
  s->usable = s->entry_count > 0;
  if (s->entry_count > 0 && mp4_be32(s->entries) == 0)  // a 0-based table
    for (uint32_t i = 0; i < s->entry_count; ++i) mp4_put_be32(s->entries + 4 * i, mp4_be32(s->entries + 4 * i) + 1);
  for (uint32_t i = 1; i < s->entry_count; ++i) {
    uint32_t prev = mp4_be32(s->entries + 4 * (i - 1)), cur = mp4_be32(s->entries + 4 * i);
    if (cur <= prev) {
      std::printf("mp4file_stss_read ERROR: entry %d >= entry %d ( %d >= %d )\n", static_cast<int>(i),
                  static_cast<int>(i + 1), static_cast<int>(prev), static_cast<int>(cur));
      s->usable = 0;
      break;
    }
  }
  return 0;
}

int read_stbl(mp4_mem_atom* a, mp4_track* t, const char** error) {
  payload(a);
  int have_stts = 0, have_stsz = 0, have_stsd = 0, have_stsc = 0, have_stco = 0;
  mp4_mem_atom c;
  while (!*error && mp4_mem_next_child(a, &c)) {
    switch (c.type) {
      case T("stss"): read_stss(&c, t, error); break;
      case T("stts"): have_stts = 1; read_stts(&c, t, error); break;
      case T("ctts"): read_ctts(&c, t, error); break;
      case T("stsz"): have_stsz = 1; read_stsz(&c, t, error); break;
      case T("stsd"):
        have_stsd = 1;
        if (read_stsd(&c, t) != 0) *error = "problem with mp4file_stsd_read()";
        break;
      case T("stsc"): have_stsc = 1; read_stsc(&c, t, error); break;
      case T("stco"):
      case T("co64"): have_stco = 1; read_stco(&c, t, error); break;
      default: break;
    }
  }
  if (*error) return 1;
  if (!have_stts) *error = "mp4file_stbl_read():  'stts' not present";
  if (!have_stsz) *error = "mp4file_stbl_read():  'stsz' not present";
  if (!have_stsd) *error = "mp4file_stbl_read():  'stsd' not present";
  if (!have_stsc) *error = "mp4file_stbl_read():  'stsc' not present";
  if (!have_stco) *error = "mp4file_stbl_read():  'stco' not present";
  return *error ? 1 : 0;
}

void read_minf(mp4_mem_atom* a, mp4_track* t, const char** error) {
  payload(a);
  int have_dinf = 0, have_stbl = 0;
  mp4_mem_atom c;
  while (mp4_mem_next_child(a, &c)) {
    if (c.type == T("dinf")) {
      have_dinf = 1;
      read_dinf(&c, t, error);
    } else if (c.type == T("stbl")) {
      have_stbl = 1;
      read_stbl(&c, t, error);
    } else if (c.type == T("vmhd")) {
      payload(&c);
      t->vmhd_present = 1;
      t->vmhd = mp4_mem_read32(&c);
    } else if (c.type == T("smhd")) {
      payload(&c);
      t->smhd_present = 1;
      t->smhd = mp4_mem_read32(&c);
    }
  }
  if (!have_dinf) *error = "mp4file_minf_read():  'dinf' not present";
  if (!have_stbl) *error = "mp4file_minf_read():  'stbl' not present";
}

void read_mdia(mp4_mem_atom* a, mp4_track* t, const char** error) {
  payload(a);
  mp4_mem_atom c;
  int have_hdlr = 0, have_mdhd = 0, have_minf = 0;
  while (mp4_mem_next_child(a, &c)) {
    if (c.type == T("hdlr") && !have_hdlr) {
      have_hdlr = 1;
      read_hdlr(&c, t);
    }
  }
  if (!have_hdlr) {
    *error = "mp4file_mdia_read():  'hdlr' not present";
    return;
  }
  payload(a);
  while (mp4_mem_next_child(a, &c)) {
    if (c.type == T("mdhd")) {
      have_mdhd = 1;
      read_mdhd(&c, t);
    } else if (c.type == T("minf")) {
      have_minf = 1;
      read_minf(&c, t, error);
    }
  }
  if (!have_mdhd) *error = "mp4file_mdia_read():  'mdhd' not present";
  if (!have_minf) *error = "mp4file_mdia_read():  'minf' not present";
}

void read_trak(mp4_mem_atom* a, mp4_track* t, const char** error) {
  payload(a);
  mp4_mem_atom c;
  int have_tkhd = 0, have_mdia = 0;
  while (mp4_mem_next_child(a, &c)) {
    if (c.type == T("tkhd")) {
      have_tkhd = 1;
      read_tkhd(&c, t);
    } else if (c.type == T("mdia")) {
      have_mdia = 1;
      read_mdia(&c, t, error);
    }
  }
  if (!have_tkhd) *error = "mp4file_trak_read():  'tkhd' not present";
  if (!have_mdia) *error = "mp4file_trak_read():  'mdia' not present";
}

}  // namespace

int mp4file_moov_read(mp4_mem_atom* moov, mp4_movie* movie, const char** error) {
  payload(moov);
  movie->audio_profile = movie->visual_profile = 0xFE;  // what a rewritten iods declares
  mp4_mem_atom c;
  uint32_t traks = 0;
  while (mp4_mem_next_child(moov, &c)) {
    if (c.type == T("mvhd")) {
      read_mvhd(&c, movie);
    } else if (c.type == T("iods")) {
      payload(&c);
      movie->iods_version_flags = mp4_mem_read32(&c);
    } else if (c.type == T("trak")) {
      ++traks;
    }
  }
  if (traks == 0) {
    *error = "mp4file_moov_read():  there are no 'trak's";
    return 1;
  }
  if (traks > 1024) {  // far beyond any real file; refuses a moov built to exhaust memory
    *error = "mp4file_moov_read():  too many 'trak's";
    return 1;
  }
  movie->tracks = static_cast<mp4_track*>(std::calloc(traks, sizeof(mp4_track)));
  if (!movie->tracks) {
    *error = "mp4file_moov_read():  malloc() failed";
    return 1;
  }
  movie->track_capacity = traks;
  payload(moov);
  while (mp4_mem_next_child(moov, &c)) {
    if (c.type != T("trak")) continue;
    mp4_track* t = &movie->tracks[movie->track_count++];
    read_trak(&c, t, error);
  }
  return *error ? 1 : 0;
}
