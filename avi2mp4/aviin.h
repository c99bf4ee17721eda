// The converter's own AVI reader: checks the RIFF form, reads the main header and the headers of
// one video and one audio stream, then hands out the chunks of the movi list in file order.
// One reader per process (module-wide state). Every size read from the file is checked against
// the list that holds it and against the file before it is used.
#pragma once

#include <cstdint>
#include <cstdio>

struct avi_info {
  int has_video;
  char video_handler[5];
  char video_compression[5];
  int has_audio;
  int32_t width;
  int32_t height;
  uint32_t rate;
  uint32_t scale;
  uint32_t total_frames;
  int32_t audio_format_tag;
  uint32_t audio_sampling_rate;
};

// Opens `path` and reads the headers. Null on success, else "failed to open AVI input file" or
// "aviin_readheaders() failed". `progress`, when given, receives 0..100 as chunks are read.
const char* aviin_open(const char* path, avi_info* info, int* progress);
// The same over an open stream (the reader takes it and closes it in aviin_close).
const char* aviin_open_stream(std::FILE* file, avi_info* info, int* progress);
int aviin_readheaders(avi_info* info);
// 0 when a chunk was read into buffer (its data only; *size bytes), 1 at the end of movi or on any
// failure, a chunk larger than the buffer included.
int aviin_next_chunk(uint8_t* buffer, uint32_t buffer_size, uint32_t* size, int* is_video,
                     int* starts_with_object_code);
int aviin_next_video_chunk(uint8_t* buffer, uint32_t buffer_size, uint32_t* size,
                           int* is_uncompressed);
// Ends the walk and closes the file.
void aviin_close();
