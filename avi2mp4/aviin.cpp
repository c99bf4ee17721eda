#include "avi2mp4/aviin.h"

#include <sys/types.h>

#include <cstring>

namespace {

// RIFF > hdrl > strl is the deepest the walk ever goes; anything deeper is skipped whole.
constexpr int kMaxDepth = 4;

struct riff_list {
  int error;
  int depth;
  int64_t data_start;  // just after the size field
  uint32_t list_size;
  int64_t end;  // data_start + list_size, clamped to the enclosing list and the file
  int64_t current_child;
};

struct stream_header {
  uint32_t type, handler, flags;
  uint16_t priority, language;
  uint32_t initial_frames, scale, rate, start, length, suggested_buffer_size, quality, sample_size;
  int16_t frame[4];
};

struct chunk_header {
  uint32_t id;
  uint32_t size;
  uint32_t next;  // the list type of a LIST, the stream type of a strh
};

struct reader_state {
  std::FILE* file;
  int64_t file_size;
  riff_list lists[kMaxDepth];
  int depth;
  uint32_t main_header[14];
  stream_header video, audio;
  int video_present, audio_present;
  uint8_t video_format[40];
  uint8_t audio_format[18];
  int* progress;
};

reader_state g;

constexpr uint32_t FourCC(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
         uint32_t(uint8_t(s[3])) << 24;
}

uint32_t lower(uint32_t code) {
  uint32_t out = 0;
  for (int i = 0; i < 4; ++i) {
    uint32_t c = (code >> (8 * i)) & 0xFF;
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    out |= c << (8 * i);
  }
  return out;
}
bool same(uint32_t a, const char (&s)[5]) { return lower(a) == lower(FourCC(s)); }

uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

bool seek(int64_t position) { return fseeko(g.file, static_cast<off_t>(position), SEEK_SET) == 0; }

bool read_bytes(void* buffer, size_t count) { return std::fread(buffer, 1, count, g.file) == count; }

riff_list* top() { return g.depth > 0 ? &g.lists[g.depth - 1] : nullptr; }

// The chunk header at the current child of the innermost list, without consuming anything. The
// third word may be missing for a short chunk at the very end of the file: it reads as 0.
bool peek(chunk_header* h) {
  riff_list* l = top();
  if (!l || l->current_child + 8 > l->end || !seek(l->current_child)) return false;
  uint8_t b[12] = {};
  size_t got = std::fread(b, 1, 12, g.file);
  if (got < 8) {
    l->error = 1;
    return false;
  }
  h->id = le32(b);
  h->size = le32(b + 4);
  h->next = le32(b + 8);
  return seek(l->current_child);
}

// Where the chunk at the current child ends (pad byte included), or -1 when it does not fit in
// its list.
int64_t chunk_end(const riff_list* l, const chunk_header& h) {
  int64_t data_end = l->current_child + 8 + int64_t(h.size);
  if (data_end > l->end) return -1;
  // A missing pad byte after the last chunk of a list is tolerated.
  return (h.size & 1) && data_end < l->end ? data_end + 1 : data_end;
}

bool skip_chunk() {
  riff_list* l = top();
  chunk_header h;
  if (!peek(&h)) return false;
  int64_t next = chunk_end(l, h);
  if (next < 0) {
    l->error = 1;
    return false;
  }
  l->current_child = next;
  return true;
}

// Enters the list at the current child. `clamp` lets a list that claims more than its parent (or
// the file) holds be read up to what is there; otherwise such a list is a failure.
bool enter_list(bool clamp) {
  riff_list* parent = top();
  if (g.depth >= kMaxDepth) return false;
  chunk_header h;
  int64_t start;
  if (parent) {
    if (!peek(&h)) return false;
    start = parent->current_child;
  } else {
    uint8_t b[12];
    if (!seek(0) || !read_bytes(b, 12)) return false;
    h = {le32(b), le32(b + 4), le32(b + 8)};
    start = 0;
  }
  if (h.size < 4) return false;
  int64_t limit = parent ? parent->end : g.file_size;
  int64_t end = start + 8 + int64_t(h.size);
  if (end > limit) {
    if (!clamp) return false;
    end = limit;
  }
  if (start + 12 > end) return false;
  riff_list* l = &g.lists[g.depth++];
  *l = {0, g.depth, start + 8, h.size, end, start + 12};
  return true;
}

// True (and the list popped) when the innermost list has no further complete chunk header.
bool at_end() {
  riff_list* l = top();
  if (!l) return true;
  if (l->error || l->current_child + 8 > l->end) {
    seek(l->end);
    --g.depth;
    return true;
  }
  return false;
}

// Reads min(size, count) bytes of the current chunk's data into out (the rest zeroed); the chunk
// must lie inside its list.
bool read_chunk_data(const chunk_header& h, void* out, size_t count) {
  riff_list* l = top();
  if (chunk_end(l, h) < 0 || !seek(l->current_child + 8)) return false;
  std::memset(out, 0, count);
  size_t n = h.size < count ? h.size : count;
  return read_bytes(out, n);
}

void parse_stream_header(const uint8_t* b, stream_header* s) {
  s->type = le32(b);
  s->handler = le32(b + 4);
  s->flags = le32(b + 8);
  s->priority = le16(b + 12);
  s->language = le16(b + 14);
  s->initial_frames = le32(b + 16);
  s->scale = le32(b + 20);
  s->rate = le32(b + 24);
  s->start = le32(b + 28);
  s->length = le32(b + 32);
  s->suggested_buffer_size = le32(b + 36);
  s->quality = le32(b + 40);
  s->sample_size = le32(b + 44);
  for (int i = 0; i < 4; ++i) s->frame[i] = static_cast<int16_t>(le16(b + 48 + 2 * i));
}

bool read_stream_list() {
  if (!enter_list(false)) return false;
  uint32_t last_type = 0;
  while (!at_end()) {
    chunk_header h;
    if (!peek(&h)) return false;
    if (same(h.id, "strh")) {
      if (h.size < 56) return false;
      uint8_t b[56];
      if (!read_chunk_data(h, b, 56)) return false;
      last_type = lower(le32(b));
      if (last_type == FourCC("vids")) {
        parse_stream_header(b, &g.video);
        g.video_present = 1;
      } else if (last_type == FourCC("auds")) {
        parse_stream_header(b, &g.audio);
        g.audio_present = 1;
      }
    } else if (same(h.id, "strf")) {
      if (last_type == FourCC("vids")) {
        if (!read_chunk_data(h, g.video_format, sizeof g.video_format)) return false;
      } else if (last_type == FourCC("auds")) {
        if (!read_chunk_data(h, g.audio_format, sizeof g.audio_format)) return false;
      }
    }
    if (!skip_chunk()) return false;
  }
  return true;
}

void code_text(uint32_t code, char out[5]) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((code >> (8 * i)) & 0xFF);
  out[4] = 0;
}

void update_progress() {
  riff_list* l = top();
  if (!g.progress || !l) return;
  int64_t extent = l->end - l->data_start;
  if (extent <= 0) return;
  double pct = double(l->current_child - l->data_start) / double(extent) * 100.0;
  int value = static_cast<int>(pct);
  *g.progress = value < 0 ? 0 : value > 100 ? 100 : value;
}

// The chunk walk shared by both public calls; `accept` decides which identifiers are handed out.
template <typename Accept>
int next_chunk(uint8_t* buffer, uint32_t buffer_size, uint32_t* size, uint32_t* id, Accept accept) {
  *size = 0;
  if (!g.file || g.depth < 2) return 1;
  chunk_header h;
  for (;;) {
    if (at_end()) return 1;
    if (!peek(&h)) return 1;
    if (accept(h.id)) break;
    if (!skip_chunk()) return 1;
  }
  riff_list* l = top();
  if (h.size > buffer_size || chunk_end(l, h) < 0) return 1;
  int result = 0;
  if (!seek(l->current_child + 8)) return 1;
  size_t got = std::fread(buffer, 1, h.size, g.file);
  *size = static_cast<uint32_t>(got);
  if (got != h.size) result = 1;
  *id = h.id;
  if (!skip_chunk()) result = 1;
  return result;
}

}  // namespace

const char* aviin_open_stream(std::FILE* file, avi_info* info, int* progress) {
  aviin_close();
  if (!file) return "failed to open AVI input file";
  g.file = file;
  g.progress = progress;
  if (fseeko(file, 0, SEEK_END) != 0) {
    aviin_close();
    return "failed to open AVI input file";
  }
  g.file_size = ftello(file);
  if (aviin_readheaders(info) != 0) return "aviin_readheaders() failed";
  return nullptr;
}

const char* aviin_open(const char* path, avi_info* info, int* progress) {
  aviin_close();
  std::FILE* f = path ? std::fopen(path, "rb") : nullptr;
  if (!f) return "failed to open AVI input file";
  return aviin_open_stream(f, info, progress);
}

int aviin_readheaders(avi_info* info) {
  if (!g.file || !info) return 1;
  g.depth = 0;
  g.video_present = g.audio_present = 0;
  std::memset(g.main_header, 0, sizeof g.main_header);
  std::memset(g.video_format, 0, sizeof g.video_format);
  std::memset(g.audio_format, 0, sizeof g.audio_format);
  g.video = {};
  g.audio = {};

  uint8_t b[12];
  if (!seek(0) || !read_bytes(b, 12) || !same(le32(b), "riff") || !same(le32(b + 8), "AVI "))
    return 1;
  if (!enter_list(true)) return 1;

  chunk_header h;
  if (!peek(&h) || !same(h.id, "LIST") || !same(h.next, "hdrl") || !enter_list(false)) return 1;
  while (!at_end()) {
    if (!peek(&h)) return 1;
    if (same(h.id, "avih")) {
      if (h.size < 56) return 1;
      uint8_t m[56];
      if (!read_chunk_data(h, m, 56)) return 1;
      for (int i = 0; i < 14; ++i) g.main_header[i] = le32(m + 4 * i);
    } else if (same(h.id, "LIST") && same(h.next, "strl")) {
      if (!read_stream_list()) return 1;
    }
    if (!skip_chunk()) return 1;
  }
  if (top()->error) return 1;
  // Back in the RIFF list, at the hdrl list: skip it and whatever follows (padding, INFO lists)
  // up to the movi list.
  if (!skip_chunk()) return 1;
  for (;;) {
    if (at_end()) return 1;
    if (!peek(&h)) return 1;
    if (same(h.id, "LIST") && same(h.next, "movi")) break;
    if (!skip_chunk()) return 1;
  }
  if (!enter_list(true)) return 1;

  *info = {};
  info->has_video = g.video_present;
  info->has_audio = g.audio_present;
  info->width = static_cast<int32_t>(g.main_header[8]);
  info->height = static_cast<int32_t>(g.main_header[9]);
  info->total_frames = g.main_header[4];
  code_text(g.video.handler, info->video_handler);
  code_text(le32(g.video_format + 16), info->video_compression);
  info->rate = g.video.rate;
  info->scale = g.video.scale;
  info->audio_format_tag = static_cast<int16_t>(le16(g.audio_format));
  info->audio_sampling_rate = le32(g.audio_format + 4);
  return 0;
}

int aviin_next_chunk(uint8_t* buffer, uint32_t buffer_size, uint32_t* size, int* is_video,
                     int* starts_with_object_code) {
  uint32_t id = 0;
  int r = next_chunk(buffer, buffer_size, size, &id, [](uint32_t c) {
    return same(c, "00db") || same(c, "00dc") || same(c, "01wb");
  });
  if (id != 0) {
    bool video = !same(id, "01wb");
    *is_video = video ? 1 : 0;
    *starts_with_object_code = !video ? 1 : (*size >= 4 && buffer[3] == 0) ? 1 : 0;
  }
  update_progress();
  return r;
}

int aviin_next_video_chunk(uint8_t* buffer, uint32_t buffer_size, uint32_t* size,
                           int* is_uncompressed) {
  uint32_t id = 0;
  int r = next_chunk(buffer, buffer_size, size, &id,
                     [](uint32_t c) { return same(c, "00db") || same(c, "00dc"); });
  if (id != 0) *is_uncompressed = same(id, "00db") ? 1 : 0;
  return r;
}

void aviin_close() {
  if (g.file) std::fclose(g.file);
  g = {};
}
