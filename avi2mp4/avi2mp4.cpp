// The two-pass converter. The first pass writes nothing and measures the moov; the second
// reserves exactly that room in front of the mdat, so the output starts with moov then mdat.
#include "avi2mp4/avi2mp4.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "avi2mp4/aviin.h"
#include "mp4/mp4file.h"

namespace {

constexpr uint32_t kBufferSize = 1000000;

struct run_state {
  std::FILE* log;
  bool log_is_stdout;
  long max_chunks;  // -1: no limit
  uint8_t* buffer;
  uint8_t* held;  // AVI timing: the sample waiting for its duration
  bool avi_timing;
  bool b_frames;
  volatile int* cancel;
  volatile int* progress;
  const char* input;
  const char* output;
};

__attribute__((format(printf, 2, 3))) void logf(run_state* s, const char* format, ...) {
  if (!s->log) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(s->log, format, args);
  va_end(args);
}

void log_sink(void* context, int level, const char* text) {
  static const char* const kPrefix[] = {"INFO    : ", "WARNING : ", "ERROR   : ", "FATAL   : "};
  std::fputs(level >= 0 && level <= 3 ? kPrefix[level] : "", stdout);
  std::FILE* log = static_cast<std::FILE*>(context);
  if (log && text) std::fputs(text, log);
}

void close_log(run_state* s) {
  if (s->log) {
    if (s->log_is_stdout)
      std::fflush(stdout);
    else
      std::fclose(s->log);
  }
  s->log = nullptr;
}

bool equals_nocase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = *a >= 'A' && *a <= 'Z' ? char(*a + 32) : *a;
    char y = *b >= 'A' && *b <= 'Z' ? char(*b + 32) : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

// A decimal count, or false when the text is not one.
bool parse_count(const char* text, long* out) {
  if (!text || !*text) return false;
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (*end != 0) return false;
  *out = v;
  return true;
}

bool analyse(run_state* s) {
  avi_info info;
  if (const char* error = aviin_open(s->input, &info, nullptr)) {
    logf(s, "Error: aviin_open() : %s\n", error);
    return false;
  }
  logf(s, "FourCC codes are: %s %s\n", info.video_handler, info.video_compression);
  const char* code = info.video_compression;
  s->avi_timing = equals_nocase(code, "kovu");
  if (!s->avi_timing && !equals_nocase(code, "ku45") && !equals_nocase(code, "ku50")) {
    logf(s, "Error: file does not contain Kovu(TM) video ('kovu' or 'ku50' fourCC)\n");
    aviin_close();
    return false;
  }
  logf(s, "Video is Kovu %s\n", s->avi_timing ? "4.xx" : "5.xx");
  avi2mp4_reset_layer();
  uint32_t size = 0;
  int uncompressed = 0;
  while (aviin_next_video_chunk(s->buffer, kBufferSize, &size, &uncompressed) == 0) {
    if (size <= 1) continue;
    char type = avi2mp4_vop_coding_type(s->buffer, size);
    if (type == 'e') {
      aviin_close();
      return false;
    }
    if (type == 'B') {
      s->b_frames = true;
      break;
    }
  }
  if (s->avi_timing && s->b_frames) {
    logf(s, "Warning: B-frames found in Kovu 4.xx video\n");
    s->avi_timing = false;
  }
  // Frames of no length cannot be timed from the headers; the stream's own times serve then.
  if (s->avi_timing && (info.rate == 0 || info.scale == 0)) s->avi_timing = false;
  aviin_close();
  return true;
}

enum pass_result { kPassOk, kPassFailed, kPassCancelled };

// One pass; pass 1 counts, pass 2 writes with `reserve` bytes in front. *moov_size receives the
// size of the moov written.
pass_result run_pass(run_state* s, int pass, int64_t reserve, uint64_t* moov_size) {
  logf(s, "**** %s pass ****\n", pass == 1 ? "first" : "second");
  avi_info info;
  int percentage = 0;
  if (const char* error = aviin_open(s->input, &info, &percentage)) {
    logf(s, "aviin_open() : %s\n", error);
    return kPassFailed;
  }
  logf(s, "AVI headers say:");
  if (info.has_video) {
    logf(s, "image is %d x %d  ", info.width, info.height);
    logf(s, "(%d/%d)=%ffps ", int(info.rate), int(info.scale),
         info.scale ? double(info.rate) / double(info.scale) : 0.0);
    logf(s, "%s ", s->avi_timing ? "(used for mp4 file)" : "(ignored)");
  }
  std::printf("\n");
  bool audio_on = false;
  if (info.has_audio) {
    logf(s, "audio sample rate is %dHz (ignored)\n", int(info.audio_sampling_rate));
    if (info.audio_format_tag != 0x55)
      logf(s, "AVI audio format %04x is not supported\n", unsigned(info.audio_format_tag));
    else
      audio_on = true;
  }

  mp4file* h = mp4file_create(pass == 1 ? nullptr : s->output, 90000, pass == 1 ? 0 : reserve);
  if (!h) {
    logf(s, "mp4file_create() failed\n");
    aviin_close();
    return kPassFailed;
  }
  mp4file_set_log_callback(h, log_sink, s->log);
  auto failed = [&]() {
    if (!mp4file_get_error(h)) return false;
    logf(s, "%s\n", mp4file_get_error(h));
    mp4file_close(h);
    aviin_close();
    return true;
  };
  if (failed()) return kPassFailed;

  int video_track = 0, audio_track = 0;
  if (info.has_video) {
    if (s->avi_timing) {
      video_track = mp4file_add_track(h, 0x20, info.rate, "und");
      mp4file_set_video_size(h, video_track, uint32_t(info.width), uint32_t(info.height));
    } else {
      video_track = mp4file_add_track(h, 0x20, 0, "und");
    }
  }
  if (audio_on) audio_track = mp4file_add_track(h, 0x69, 0, "und");
  if (failed()) return kPassFailed;

  avi2mp4_reset_layer();
  // With AVI timing a sample is held back until the next video chunk: an empty chunk in between
  // means the picture stays on screen, so its time belongs to the held sample.
  uint32_t held_size = 0, held_duration = 0;
  bool holding = false, held_sync = false;
  auto release_held = [&]() {
    if (holding) mp4file_add_raw_sample(h, video_track, s->held, held_size, held_sync, held_duration, 0);
    holding = false;
  };
  long video_count = 0, audio_count = 0;
  uint32_t size = 0;
  int is_video = 0, object_code = 0;
  while (aviin_next_chunk(s->buffer, kBufferSize, &size, &is_video, &object_code) == 0) {
    const uint8_t* data = s->buffer;
    if (!is_video) {
      if (audio_on) mp4_file_add_sample(h, audio_track, data, size, 0);
      ++audio_count;
    } else {
      long long found = avi2mp4_find_vop(data, size, 0);
      uint32_t p = found < 0 ? 0 : uint32_t(found);
      if (video_track > 0) {
        if (!s->avi_timing) {
          if (p > 0 && video_count == 0) mp4_file_add_sample(h, video_track, data, p, 1);
          if (size > p) mp4_file_add_sample(h, video_track, data + p, size - p, 0);
        } else {
          if (p > 0 && video_count == 0) mp4file_set_DecoderSpecificInfo(h, video_track, data, p);
          if (size > p) {
            release_held();
            held_sync = avi2mp4_vop_coding_type(data, size) == 'I';
            held_size = size - p;
            held_duration = info.scale;
            std::memmove(s->buffer, data + p, held_size);
            uint8_t* swap = s->held;  // the next chunk is read into the other buffer
            s->held = s->buffer;
            s->buffer = swap;
            holding = true;
          } else if (size == 0 && holding) {
            held_duration += info.scale;
          }
        }
      }
      ++video_count;
      if (failed()) return kPassFailed;
      if (s->max_chunks > 0 && video_count >= s->max_chunks) break;
    }
    if (s->progress) *s->progress = percentage / 2 - 50 + 50 * pass;
    if (s->cancel && *s->cancel) {
      release_held();
      mp4file_close(h);
      aviin_close();
      return kPassCancelled;
    }
  }
  release_held();
  if (failed()) return kPassFailed;
  logf(s, "%ld video chunks, %ld audio chunks\n", video_count, audio_count);
  *moov_size = mp4file_finish(h, pass == 2);
  if (failed()) return kPassFailed;
  mp4file_close(h);
  aviin_close();
  return kPassOk;
}

}  // namespace

int Avi2Mp4(int argc, char** argv, const char* log_path, volatile int* cancel,
            volatile int* progress) {
  run_state s = {};
  s.cancel = cancel;
  s.progress = progress;
  s.max_chunks = -1;
  if (log_path) {
    if (std::strcmp(log_path, "*stdout*") == 0) {
      s.log = stdout;
      s.log_is_stdout = true;
    } else {
      s.log = std::fopen(log_path, "w");
    }
  }
  for (int i = 0; i < argc && argv && argv[i]; ++i) logf(&s, "%s ", argv[i]);
  logf(&s, "[built with mp4file library: %s]\n\n", mp4file_get_version());

  const char* program = argc > 0 && argv && argv[0] ? argv[0] : "avi2mp4";
  bool help = false;
  int i = 1;
  while (argv && i < argc && argv[i] && argv[i][0] == '-') {
    if (std::strcmp(argv[i], "-n") == 0) {
      // "-n" needs a count after it; without one the command line is wrong.
      if (i + 1 >= argc || !parse_count(argv[i + 1], &s.max_chunks)) {
        help = true;
        break;
      }
      i += 2;
    } else {
      help = true;
      ++i;
    }
  }
  if (help || argc - i != 2) {
    logf(&s, "usage: %s [-h] [-n maxframes] infile.avi outfile.mp4 \n", program);
    close_log(&s);
    return 1;
  }
  if (s.max_chunks < 1) s.max_chunks = -1;
  s.input = argv[i];
  s.output = argv[i + 1];

  s.buffer = static_cast<uint8_t*>(std::malloc(kBufferSize));
  s.held = static_cast<uint8_t*>(std::malloc(kBufferSize));
  if (!s.buffer || !s.held) {
    std::free(s.buffer);
    std::free(s.held);
    logf(&s, "failed to allocate buffer\n");
    close_log(&s);
    return 1;
  }
  if (!analyse(&s)) {
    logf(&s, "Video analysis failed\n");
    std::free(s.buffer);
    std::free(s.held);
    close_log(&s);
    return 1;
  }
  if (s.avi_timing)
    logf(&s, "File contains Kovu 4.xx: taking video timing info from AVI headers\n");
  else
    logf(&s, "File contains > Kovu 4.xx: taking video timing info from MPEG-4 video headers\n");

  uint64_t moov_size = 0;
  pass_result r = run_pass(&s, 1, 0, &moov_size);
  if (r == kPassOk) r = run_pass(&s, 2, static_cast<int64_t>(moov_size), &moov_size);
  std::free(s.buffer);
  std::free(s.held);
  close_log(&s);
  return r == kPassOk ? 0 : 1;
}
