// Byte order, clock, names of the descriptor values, and the growable table buffers.
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "mp4/internal.h"

const char kMp4Banner[] = "Tessaly file handler  Version 0.24, 8 May 2002";

uint64_t mp4_now() { return static_cast<uint64_t>(std::time(nullptr)) + kMp4TimeBase; }

uint32_t mp4_be32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
uint64_t mp4_be64(const uint8_t* p) { return (uint64_t(mp4_be32(p)) << 32) | mp4_be32(p + 4); }
void mp4_put_be32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24);
  p[1] = uint8_t(v >> 16);
  p[2] = uint8_t(v >> 8);
  p[3] = uint8_t(v);
}
void mp4_put_be64(uint8_t* p, uint64_t v) {
  mp4_put_be32(p, uint32_t(v >> 32));
  mp4_put_be32(p + 4, uint32_t(v));
}

const char* mp4_object_type_name(uint32_t o) {
  switch (o) {
    case 0x20: return "Visual ISO/IEC 14496-2";
    case 0x40: return "Audio ISO/IEC 14496-3";
    case 0x60: return "Visual ISO/IEC 13818-2 Simple Profile";
    case 0x61: return "Visual ISO/IEC 13818-2 Main Profile";
    case 0x62: return "Visual ISO/IEC 13818-2 SNR Profile";
    case 0x63: return "Visual ISO/IEC 13818-2 Spatial Profile";
    case 0x64: return "Visual ISO/IEC 13818-2 High Profile";
    case 0x65: return "Visual ISO/IEC 13818-2 422 Profile";
    case 0x66: return "Audio ISO/IEC 13818-7 Main Profile";
    case 0x67: return "Audio ISO/IEC 13818-7 LowComplexity Profile";
    case 0x68: return "Audio ISO/IEC 13818-7 Scaleable Sampling Rate Profile";
    case 0x69: return "Audio ISO/IEC 13818-3";
    case 0x6A: return "Visual ISO/IEC 11172-2";
    case 0x6B: return "Audio ISO/IEC 11172-3";
    case 0x6C: return "Visual ISO/IEC 10918-1";
    default: return "Unknown objectTypeIndication";
  }
}

const char* mp4_stream_type_name(uint32_t s) {
  switch (s) {
    case 0: return "Forbidden";
    case 1: return "ObjectDescriptorStream (see 8.5)";
    case 2: return "ClockReferenceStream (see 10.2.5)";
    case 3: return "SceneDescriptionStream (see 9.2.1)";
    case 4: return "VisualStream";
    case 5: return "AudioStream";
    case 6: return "MPEG7Stream";
    case 7: return "IPMPStream (see 8.3.2)";
    case 8: return "ObjectContentInfoStream (see 8.4.2)";
    case 9: return "MPEGJStream";
    default: return "Unknown streamType";
  }
}

int mp4_is_visual_type(uint32_t o) {
  return o == 0x20 || (o >= 0x60 && o <= 0x65) || o == 0x6A || o == 0x6C;
}
int mp4_is_audio_type(uint32_t o) { return o == 0x40 || (o >= 0x66 && o <= 0x69) || o == 0x6B; }

int mp4_table_append(mp4_table_buffer* b, const void* data, size_t count) {
  if (b->capacity - b->size < count) {
    size_t wanted = b->capacity ? b->capacity : 4096;
    while (wanted - b->size < count) {
      if (wanted > (SIZE_MAX >> 1)) return 1;
      wanted *= 2;
    }
    uint8_t* grown = static_cast<uint8_t*>(std::realloc(b->data, wanted));
    if (!grown) return 1;
    b->data = grown;
    b->capacity = wanted;
  }
  std::memcpy(b->data + b->size, data, count);
  b->size += count;
  return 0;
}

void mp4_table_free(mp4_table_buffer* b) {
  std::free(b->data);
  b->data = nullptr;
  b->size = b->capacity = 0;
}

void mp4_log(mp4file* h, int level, const char* format, ...) {
  if (!h || !h->log) return;
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  h->log(h->log_context, level, text);
}
