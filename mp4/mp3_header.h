// MPEG-1/2/2.5 audio frame headers, and the re-framer that cuts a byte stream into whole frames.
#pragma once

#include <cstddef>
#include <cstdint>

int mp3_id(uint32_t h);
int mp3_is_mpeg25(uint32_t h);
int mp3_layer(uint32_t h);
int mp3_protection(uint32_t h);
int mp3_bitrate_index(uint32_t h);
int mp3_sampling_index(uint32_t h);
int mp3_padding(uint32_t h);
int mp3_bitrate(uint32_t h);
int mp3_sampling_rate(uint32_t h);
// Frame length in bytes including the header; -1 when the header describes no frame.
int mp3_frame_length(uint32_t h);
int mp3_samples_per_frame(uint32_t h);

constexpr size_t MP3_PARSER_BUFFER = 65536;

struct mp3_parser {
  uint8_t buffer[MP3_PARSER_BUFFER];
  size_t length;        // bytes held
  size_t scan;          // next byte to examine
  int matched;          // header bytes matched so far (0..4)
  size_t skipped_call;  // bytes skipped during the current call
  int frame_length;
  uint64_t skipped_total;
  uint32_t last_header;
};

void mp3_parser_reset(mp3_parser* p);
// Appends data and looks for the next whole frame. Returns 1 when the data does not fit (nothing
// is appended), else 0; *frame is the start of a complete frame of p->frame_length bytes, or null.
int mp3_parser_feed(mp3_parser* p, const uint8_t* data, size_t length, const uint8_t** frame);
// At the end of the stream: a complete frame still held is handed out.
void mp3_parser_flush(mp3_parser* p, const uint8_t** frame);
size_t mp3_parser_free_space(const mp3_parser* p);
