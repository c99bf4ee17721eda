#include "mp4/mp3_header.h"

#include <cstring>

int mp3_id(uint32_t h) { return (h >> 19) & 1; }
int mp3_is_mpeg25(uint32_t h) { return ((h >> 19) & 3) == 0; }
int mp3_layer(uint32_t h) { return 4 - static_cast<int>((h >> 17) & 3); }
int mp3_protection(uint32_t h) { return (h >> 16) & 1; }
int mp3_bitrate_index(uint32_t h) { return (h >> 12) & 15; }
int mp3_sampling_index(uint32_t h) { return (h >> 10) & 3; }
int mp3_padding(uint32_t h) { return (h >> 9) & 1; }

int mp3_bitrate(uint32_t h) {
  static const int kTable[5][16] = {
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, -1},  // MPEG-1 I
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, -1},     // MPEG-1 II
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, -1},      // MPEG-1 III
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, -1},     // MPEG-2 I
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, -1},          // MPEG-2 II, III
  };
  int layer = mp3_layer(h);
  if (layer == 4) return -1;
  int row = mp3_id(h) ? layer - 1 : (layer == 1 ? 3 : 4);
  int kbit = kTable[row][mp3_bitrate_index(h)];
  return kbit < 0 ? -1 : kbit * 1000;
}

int mp3_sampling_rate(uint32_t h) {
  static const int kRates[3] = {44100, 48000, 32000};
  if (mp3_layer(h) == 4) return -1;
  int index = mp3_sampling_index(h);
  if (index == 3) return -1;
  int rate = kRates[index];
  if (mp3_id(h)) return rate;
  return mp3_is_mpeg25(h) ? rate / 4 : rate / 2;
}

int mp3_frame_length(uint32_t h) {
  int bitrate = mp3_bitrate(h), rate = mp3_sampling_rate(h);
  if (bitrate <= 0 || rate <= 0) return -1;
  int padding = mp3_padding(h);
  switch (mp3_layer(h)) {
    case 1: return (12 * bitrate / rate + padding) * 4;
    case 2: return 144 * bitrate / rate + padding;
    default: return (mp3_id(h) ? 144 : 72) * bitrate / rate + padding;
  }
}

int mp3_samples_per_frame(uint32_t h) {
  switch (mp3_layer(h)) {
    case 1: return 384;
    case 2: return 1152;
    case 3: return mp3_id(h) ? 1152 : 576;
    default: return 0;
  }
}

void mp3_parser_reset(mp3_parser* p) {
  p->length = p->scan = 0;
  p->matched = 0;
  p->skipped_call = 0;
  p->frame_length = 0;
  p->skipped_total = 0;
  p->last_header = 0;
}

size_t mp3_parser_free_space(const mp3_parser* p) { return MP3_PARSER_BUFFER - p->length; }

namespace {

// Drops everything before the current scan (or match) position, so that junk or frames already
// handed out never fill the buffer.
void compact_from(mp3_parser* p, size_t start) {
  if (start == 0) return;
  std::memmove(p->buffer, p->buffer + start, p->length - start);
  p->length -= start;
  p->scan -= start;
}

void compact(mp3_parser* p) {
  compact_from(p, p->matched == 4 ? 0 : p->scan - static_cast<size_t>(p->matched));
}

int byte_matches(const mp3_parser* p, int matched, uint8_t b) {
  switch (matched) {
    case 0: return b == 0xFF;
    // Layer bits 00 are reserved: such a header has no frame length, so it is no sync.
    case 1: return (b & 0xE0) == 0xE0 && (b & 0x18) != 0x08 && (b & 0x06) != 0;
    case 2: return (b & 0xF0) != 0x00 && (b & 0xF0) != 0xF0 && (b & 0x0C) != 0x0C;
    default: return 1;
  }
}

void scan(mp3_parser* p) {
  int quirk = 0;  // the current match began with the one-byte-short rule
  while (p->matched < 4 && p->scan < p->length) {
    uint8_t b = p->buffer[p->scan];
    int row = p->matched;
    // After a padded frame the stream may be one byte short: a byte that is not 0xFF is then
    // tried as the second header byte, the previous byte standing in for the first.
    if (row == 0 && b != 0xFF && (p->last_header & 0x200) && p->skipped_call == 0 && p->scan > 0) {
      row = 1;
      quirk = 1;
    }
    if (byte_matches(p, row, b)) {
      p->matched = row + 1;
      ++p->scan;
      if (p->matched < 4) continue;
      size_t start = p->scan - 4;
      uint8_t* hb = p->buffer + start;
      if (quirk) hb[0] = 0xFF;
      uint32_t header = (uint32_t(hb[0]) << 24) | (uint32_t(hb[1]) << 16) | (uint32_t(hb[2]) << 8) | hb[3];
      int length = mp3_frame_length(header);
      if (length < 4) {  // no frame after all: resume after the first matched byte
        p->scan = start + 1;
        p->matched = 0;
        quirk = 0;
        continue;
      }
      p->last_header = header;
      p->frame_length = length;
      compact_from(p, start);
      p->scan = 0;
      return;
    }
    if (p->matched == 0) {
      ++p->scan;
      ++p->skipped_call;
      ++p->skipped_total;
    } else if (quirk) {
      // The stand-in byte is not ours to resume at: go on after the first tested byte.
      p->scan = p->scan - static_cast<size_t>(p->matched - 1) + 1;
      ++p->skipped_call;
      ++p->skipped_total;
    } else {
      p->scan = p->scan - static_cast<size_t>(p->matched) + 1;
    }
    p->matched = 0;
    quirk = 0;
  }
}

}  // namespace

int mp3_parser_feed(mp3_parser* p, const uint8_t* data, size_t length, const uint8_t** frame) {
  *frame = nullptr;
  p->skipped_call = 0;
  if (length > 0) {
    if (length > mp3_parser_free_space(p)) compact(p);
    if (length > mp3_parser_free_space(p)) return 1;
    std::memcpy(p->buffer + p->length, data, length);
    p->length += length;
  }
  if (p->matched < 4) scan(p);
  if (p->matched == 4 && static_cast<size_t>(p->frame_length) < p->length) {
    *frame = p->buffer;
    p->scan = static_cast<size_t>(p->frame_length);
    p->matched = 0;
  }
  return 0;
}

void mp3_parser_flush(mp3_parser* p, const uint8_t** frame) {
  *frame = nullptr;
  if (p->matched == 4 && static_cast<size_t>(p->frame_length) <= p->length) {
    *frame = p->buffer;
    p->scan = static_cast<size_t>(p->frame_length);
    p->matched = 0;
  }
}
