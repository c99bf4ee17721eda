// Rewriting a finished file with its moov in front, so that players can start before the end.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mp4/internal.h"

namespace {

constexpr uint32_t T(const char (&s)[5]) { return mp4_fourcc(s); }

// Copies [from, to) of the input to the current end of the output.
void copy_range(mp4fileio* in, mp4fileio* out, int64_t from, int64_t to, uint8_t* block, size_t block_size) {
  mp4fileio_seek(in, from);
  int64_t left = to - from;
  while (left > 0 && !in->error && !out->error) {
    size_t n = static_cast<uint64_t>(left) < block_size ? static_cast<size_t>(left) : block_size;
    mp4fileio_read(in, block, n);
    mp4fileio_write(out, block, n);
    left -= static_cast<int64_t>(n);
  }
}

// Moves every chunk offset by delta; tables that would pass 32 bits become co64 first.
int needs_co64(const mp4_movie* m, int64_t delta) {
  int any = 0;
  for (uint32_t i = 0; i < m->track_count; ++i) {
    const mp4_track* t = &m->tracks[i];
    if (t->stco.width == 8) continue;
    for (uint32_t k = 0; k < t->stco.entry_count; ++k)
      if (static_cast<int64_t>(mp4_be32(t->stco.entries + 4 * k)) + delta > 0xFFFFFFFFll) {
        any = 1;
        break;
      }
  }
  return any;
}

int widen_tables(mp4_movie* m, int64_t delta) {
  for (uint32_t i = 0; i < m->track_count; ++i) {
    mp4_track* t = &m->tracks[i];
    if (t->stco.width == 8) continue;
    int overflow = 0;
    for (uint32_t k = 0; k < t->stco.entry_count && !overflow; ++k)
      overflow = static_cast<int64_t>(mp4_be32(t->stco.entries + 4 * k)) + delta > 0xFFFFFFFFll;
    if (!overflow) continue;
    mp4_table_buffer wide = {};
    for (uint32_t k = 0; k < t->stco.entry_count; ++k) {
      uint8_t e[8];
      mp4_put_be64(e, mp4_be32(t->stco.entries + 4 * k));
      if (mp4_table_append(&wide, e, 8) != 0) {
        mp4_table_free(&wide);
        return 1;
      }
    }
    mp4_table_free(&t->stco.buffer);
    t->stco.buffer = wide;
    t->stco.entries = wide.data;
    t->stco.width = 8;
  }
  return 0;
}

void shift_offsets(mp4_movie* m, int64_t delta) {
  for (uint32_t i = 0; i < m->track_count; ++i) {
    mp4_track* t = &m->tracks[i];
    for (uint32_t k = 0; k < t->stco.entry_count; ++k) {
      if (t->stco.width == 8) {
        uint8_t* p = t->stco.entries + 8 * k;
        mp4_put_be64(p, static_cast<uint64_t>(static_cast<int64_t>(mp4_be64(p)) + delta));
      } else {
        uint8_t* p = t->stco.entries + 4 * k;
        mp4_put_be32(p, static_cast<uint32_t>(static_cast<int64_t>(mp4_be32(p)) + delta));
      }
    }
  }
}

uint64_t measure(mp4_movie* movie, const char** error) {
  mp4fileio counter;
  mp4fileio_open(&counter, nullptr, 0);
  return mp4file_moov_write(movie, &counter, error);
}

}  // namespace

const char* mp4file_make_faststart(const char* input, const char* output) {
  mp4fileio in, out;
  if (mp4fileio_open(&in, input, 0) != 0) return in.error;
  mp4_atom_header moov_header;
  if (mp4_find_atom(&in, T("moov"), &moov_header) != 0) {
    mp4fileio_close(&in);
    return "mp4file_make_faststart():  could not find 'moov' atom";
  }
  if (mp4fileio_open(&out, output, 1) != 0) {
    mp4fileio_close(&in);
    return out.error;
  }
  const char* error = nullptr;
  mp4_mem_atom moov = {};
  mp4_movie movie = {};
  uint8_t* block = nullptr;
  const size_t kBlock = 1 << 22;
  mp4_atom_header mdat_header;
  const int64_t length = mp4fileio_length(&in);
  if (mp4_load_atom(&in, &moov_header, &moov, &error) == 0 && mp4file_moov_read(&moov, &movie, &error) == 0) {
    for (uint32_t i = 0; i < movie.track_count && !error; ++i) mp4_track_validate(&movie.tracks[i], length, &error);
  }
  if (!error && mp4_find_atom(&in, T("mdat"), &mdat_header) != 0)
    error = "mp4file_make_faststart():  could not find 'mdat' atom";
  if (!error) {
    const int64_t old_size = static_cast<int64_t>(moov_header.size);
    uint64_t size = measure(&movie, &error);
    // Data after the old moov moves by (new size - old size), data before it by the new size.
    const int moov_after_mdat = moov_header.offset > mdat_header.offset;
    int64_t delta = moov_after_mdat ? static_cast<int64_t>(size) : static_cast<int64_t>(size) - old_size;
    for (int round = 0; !error && round < 4 && needs_co64(&movie, delta); ++round) {
      if (widen_tables(&movie, delta) != 0) error = "malloc failed";
      size = measure(&movie, &error);
      delta = moov_after_mdat ? static_cast<int64_t>(size) : static_cast<int64_t>(size) - old_size;
    }
    if (!error && delta != 0) {
      if (moov_after_mdat) std::printf("adjusting offsets %d\n", static_cast<int>(size));
      shift_offsets(&movie, delta);
    }
  }
  if (!error) {
    mp4file_moov_write(&movie, &out, &error);
    block = static_cast<uint8_t*>(std::malloc(kBlock));
    if (!block) out.error = "malloc failed";
  }
  if (!error && block) {
    copy_range(&in, &out, 0, moov_header.offset, block, kBlock);
    if (in.error) error = in.error;
    else if (out.error) error = out.error;
  }
  if (!error && block) {
    copy_range(&in, &out, moov_header.offset + static_cast<int64_t>(moov_header.size), length, block, kBlock);
    if (in.error) error = in.error;
    else if (out.error) error = out.error;
  }
  if (!error && out.error) error = out.error;
  std::free(block);
  for (uint32_t i = 0; i < movie.track_count; ++i) mp4_track_release(&movie.tracks[i]);
  std::free(movie.tracks);
  std::free(moov.data);
  mp4fileio_close(&in);
  mp4fileio_close(&out);
  return error;
}
