// A text dump of an open file's atom tree, one nesting level per three spaces.
#include <cstdio>
#include <ctime>
#include <string>

#include "mp4/internal.h"

namespace {

void version_line(const std::string& in, uint32_t vf) {
  std::printf("%sversion = %02x flags = %06x\n", in.c_str(), vf >> 24, vf & 0xFFFFFF);
}

void print_time(uint64_t value) {
  std::time_t t = static_cast<std::time_t>(static_cast<int64_t>(value) - static_cast<int64_t>(kMp4TimeBase));
  const char* text = std::ctime(&t);
  std::printf(" %s", text ? text : "(not a valid time)\n");
}

// Prints entries [0, n) with the long-table elision: the first five, "...", the last two.
template <typename F>
void elided(const std::string& in, uint32_t n, uint32_t limit, F print) {
  if (n <= limit) {
    for (uint32_t i = 0; i < n; ++i) print(i);
    return;
  }
  for (uint32_t i = 0; i < 5; ++i) print(i);
  std::printf("%s  ...\n", in.c_str());
  print(n - 2);
  print(n - 1);
}

void dump_stbl(mp4_track* t, const std::string& in) {
  const char* s = in.c_str();
  std::printf("%s'stbl' atom:\n", s);
  const std::string i2 = in + "   ";
  const char* s2 = i2.c_str();
  // stsd
  std::printf("%s'stsd' atom:\n ", s2);
  version_line(i2, t->stsd.version_flags);
  std::printf("%s entry-count = %d\n  ", s2, static_cast<int>(t->stsd.entry_count));
  for (uint32_t k = 0; k < t->stsd.entry_count; ++k) {
    const mp4_sample_entry* e = &t->stsd.entries[k];
    std::printf("%s Entry %d:\n", s2, static_cast<int>(k + 1));
    std::printf("%s format '%s'\n", s2, e->format);
    std::printf("%s data-reference-index=%d\n", s2, static_cast<int>(e->data_reference_index));
    std::printf("%s objectTypeIndication=0x%02x  %s\n", s2, e->objectTypeIndication,
                mp4_object_type_name(e->objectTypeIndication));
    std::printf("%s streamType          =0x%02x  %s\n", s2, e->streamType, mp4_stream_type_name(e->streamType));
    if (e->streamType == 4)
      std::printf("%s VOP dimensions are %u x %u (not strictly part of mp4file spec)\n", s2, e->width, e->height);
    std::printf("%s bufferSizeDB=%dbytes\n", s2, static_cast<int>(e->bufferSizeDB));
    std::printf("%s maxBitrate=%dbit/s\n", s2, static_cast<int>(e->maxBitrate));
    std::printf("%s avgBitrate=%dbit/s\n", s2, static_cast<int>(e->avgBitrate));
    std::printf("%s decoder specific info:", s2);
    if (e->dsi_length == 0) std::printf(" none");
    for (uint32_t b = 0; b < e->dsi_length; ++b) std::printf(" %02x", e->dsi[b]);
    std::printf("\n");
  }
  // stsc
  std::printf("%s'stsc' atom:\n ", s2);
  version_line(i2, t->stsc.version_flags);
  std::printf("%s entry_count = %d\n", s2, static_cast<int>(t->stsc.entry_count));
  for (uint32_t k = 0; k < t->stsc.entry_count; ++k) {
    const uint8_t* e = t->stsc.entries + 12 * k;
    std::printf("%s  first-chunk %u  samples-per-chunk %u  sample-description-index %u\n", s2, mp4_be32(e),
                mp4_be32(e + 4), mp4_be32(e + 8));
  }
  // stts
  std::printf("%s'stts' atom:\n ", s2);
  version_line(i2, t->stts.version_flags);
  std::printf("%s entry_count = %d\n", s2, static_cast<int>(t->stts.entry_count));
  elided(i2, t->stts.entry_count, 10, [&](uint32_t k) {
    const uint8_t* e = t->stts.entries + 8 * k;
    std::printf("%s  Entry %d: sample count %u   delta  %u\n", s2, static_cast<int>(k + 1), mp4_be32(e), mp4_be32(e + 4));
  });
  if (t->ctts.present) {
    std::printf("%s'ctts' atom:\n ", s2);
    version_line(i2, t->ctts.version_flags);
    std::printf("%s entry_count = %d\n", s2, static_cast<int>(t->ctts.entry_count));
    elided(i2, t->ctts.entry_count, 10, [&](uint32_t k) {
      const uint8_t* e = t->ctts.entries + 8 * k;
      std::printf("%s  Entry %d: sample count %u   offset  %u\n", s2, static_cast<int>(k + 1), mp4_be32(e),
                  mp4_be32(e + 4));
    });
  }
  // stsz
  std::printf("%s'stsz' atom:\n ", s2);
  version_line(i2, t->stsz.version_flags);
  std::printf("%s sample-size  = %d\n", s2, static_cast<int>(t->stsz.sample_size));
  std::printf("%s sample-count = %d\n", s2, static_cast<int>(t->stsz.sample_count));
  if (t->stsz.sample_size == 0)
    elided(i2, t->stsz.sample_count, 7, [&](uint32_t k) {
      std::printf("%s  %d: entry-size  %u\n", s2, static_cast<int>(k + 1), mp4_be32(t->stsz.entries + 4 * k));
    });
  // stss
  std::printf("%s'stss' atom:\n ", s2);
  if (!t->stss.present) {
    std::printf("%s not present\n", s2);
  } else {
    version_line(i2, t->stss.version_flags);
    std::printf("%s entry_count = %d\n", s2, static_cast<int>(t->stss.entry_count));
    for (uint32_t k = 0; k < t->stss.entry_count; ++k) {
      if (k == 5) {
        std::printf("%s  ...\n", s2);
        break;
      }
      std::printf("%s  entry  %u\n", s2, mp4_be32(t->stss.entries + 4 * k));
    }
  }
  // stco / co64
  std::printf(t->stco.width == 8 ? "%s'co64' atom:\n " : "%s'stco' atom:\n ", s2);
  version_line(i2, t->stco.version_flags);
  std::printf("%s entry_count = %d\n", s2, static_cast<int>(t->stco.entry_count));
  elided(i2, t->stco.entry_count, 7, [&](uint32_t k) {
    std::printf(" %s  %d: chunk-offset %u\n", s2, static_cast<int>(k + 1),
                static_cast<uint32_t>(mp4_track_chunk_offset(t, k)));
  });
}

void dump_trak(mp4_track* t, const std::string& in) {
  const char* s = in.c_str();
  std::printf("\n%s'trak' atom:\n", s);
  const std::string i2 = in + "   ";
  const char* s2 = i2.c_str();
  std::printf("%s'tkhd' atom:\n", s2);
  std::printf("%s creation time:", s2);
  print_time(t->tkhd_creation);
  std::printf("%s modification time:", s2);
  print_time(t->tkhd_modification);
  std::printf("%s track-ID = %u\n", s2, t->track_ID);
  std::printf("%s duration  = %u (movie timescale)\n", s2, static_cast<uint32_t>(t->tkhd_duration));
  std::printf("%s VOP dimensions are %u x %u (not strictly part of mp4file spec)\n", s2, t->width, t->height);
  std::printf("%s'mdia' atom\n", s2);
  const std::string i3 = i2 + "   ";
  const char* s3 = i3.c_str();
  std::printf("%s'hdlr' atom:\n ", s3);
  version_line(i3, t->hdlr_version_flags);
  std::printf("%s handler-type = '%s' ", s3, t->handler_type);
  std::printf("\"%s\"\n", t->handler_name);
  std::printf("%s'mdhd' atom\n", s3);
  std::printf("%s creation time:", s3);
  print_time(t->mdhd_creation);
  std::printf("%s modification time:", s3);
  print_time(t->mdhd_modification);
  std::printf("%s timescale = %u\n", s3, t->timescale);
  std::printf("%s duration  = %u (%f seconds)\n", s3, static_cast<uint32_t>(t->media_duration),
              t->timescale ? static_cast<double>(t->media_duration) / t->timescale : 0.0);
  std::printf("%s language  = '%s'\n", s3, t->language);
  std::printf("%s'minf' atom:\n", s3);
  const std::string i4 = i3 + "   ";
  const char* s4 = i4.c_str();
  if (t->vmhd_present) {
    std::printf("%s'vmhd' atom:\n ", s4);
    version_line(i4, t->vmhd);
  }
  if (t->smhd_present) {
    std::printf("%s'smhd' atom:\n ", s4);
    version_line(i4, t->smhd);
  }
  std::printf("%s'dinf' atom:\n", s4);
  const std::string i5 = i4 + "   ";
  const char* s5 = i5.c_str();
  std::printf("%s'dref' atom:\n  ", s5);
  version_line(i5, 0);
  std::printf("%s entry-count  = %d\n", s5, static_cast<int>(t->dref_count));
  for (uint32_t k = 0; k < t->dref_count; ++k) {
    if (k == 5) {
      std::printf("%s  ...\n", s5);
      break;
    }
    std::printf("%s  entry %u: %s\n", s5, k + 1, (t->dref[k] & 1) ? "same file" : "ELSEWHERE!");
  }
  dump_stbl(t, i4);
}

}  // namespace

void mp4file_dump(mp4file* h) {
  if (!h) return;
  mp4_movie* m = &h->movie;
  const std::string in;
  std::printf("%s'moov' atom:\n", in.c_str());
  const std::string i2 = in + "   ";
  const char* s2 = i2.c_str();
  std::printf("%s'mvhd' atom:\n", s2);
  version_line(i2, m->version_flags);
  std::printf("%s creation time:", s2);
  print_time(m->creation);
  std::printf("%s modification time:", s2);
  print_time(m->modification);
  std::printf("%s timescale = %u\n", s2, m->timescale);
  std::printf("%s duration  = %u (%f seconds)\n", s2, static_cast<uint32_t>(m->duration),
              m->timescale ? static_cast<double>(m->duration) / m->timescale : 0.0);
  std::printf("%s next-track-ID = %u\n", s2, m->next_track_ID);
  std::printf("%s'iods' atom:\n ", s2);
  version_line(i2, m->iods_version_flags);
  std::printf("\n%s there are %d traks:\n", s2, static_cast<int>(m->track_count));
  for (uint32_t i = 0; i < m->track_count; ++i) dump_trak(&m->tracks[i], i2);
}
