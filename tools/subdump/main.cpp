// subdump: loads a subtitle file exactly as the video filter does and prints what it holds,
// so that a user can see which format took the file, its streams, and every entry's times.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "common/file_stream.h"
#include "subtitles/subtitle_engine.h"
#include "subtitles/subtitle_readers.h"

namespace {

void Usage(FILE* out) {
  std::fputs(
      "Usage: subdump [--lang NAME] [--fps F] FILE\n"
      "\n"
      "Loads a subtitle file the way the video filter does: the readers its extension calls for\n"
      "are tried in order until one accepts it. Prints the format, the streams (languages) and\n"
      "the one chosen, the delay the file states, and every entry: start and end in\n"
      "milliseconds, then the text with line breaks shown as \\n, or the picture's size.\n"
      "\n"
      "  --lang NAME  preferred language for files with several streams (e.g. French)\n"
      "  --fps F      video frame rate; formats that count frames are converted with it\n"
      "  --help       this text\n"
      "\n"
      "Extensions: .srt .sub .txt .ssa .js .rt .aqt .ini .mdv (and .smi).\n"
      "Exit status 0 when a reader accepted the file, 1 otherwise.\n",
      out);
}

std::string Shown(const char* text) {
  std::string s;
  for (const char* p = text; *p; ++p) {
    const auto c = static_cast<unsigned char>(*p);
    if (c == '\n') {
      s += "\\n";
    } else if (c < 0x20 || c == 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      s += hex;
    } else {
      s += static_cast<char>(c);
    }
  }
  return s;
}

// Why no reader took the file: each reader of the extension's sequence, run alone.
void Explain(const char* path) {
  const char* formats[8];
  if (SubtitleProbeFormats(path, formats) < 0) {
    std::fprintf(stderr, "subdump: '%s' has no subtitle extension (.srt .sub .txt .smi .ssa .js .rt .aqt .ini .mdv)\n",
                 path);
    return;
  }
  FileStream probe;
  if (probe.Open(path, "rb") != 0) {
    std::fprintf(stderr, "subdump: cannot open '%s': %s\n", path,
                 std::strlen(path) > static_cast<size_t>(kMaxPathLength) ? "path too long" : std::strerror(errno));
    return;
  }
  probe.Close();
  std::fprintf(stderr, "subdump: no subtitle reader accepts '%s'. Readers tried, in order:\n", path);
  for (int i = 0; formats[i]; ++i) {
    SubtitleReader read = nullptr;
    for (int k = 0; k < kSubtitleReaderCount; ++k)
      if (std::strcmp(kSubtitleReaders[k].format, formats[i]) == 0) read = kSubtitleReaders[k].read;
    if (!read) {
      std::fprintf(stderr, "  %-18s not part of this build\n", formats[i]);
      continue;
    }
    SubtitleEngine engine;
    const int result = (engine.*read)(path);
    std::fprintf(stderr, "  %-18s %s\n", formats[i],
                 result == 1 ? "read the file but found no entries" : "not this format");
  }
}

}  // namespace

int main(int argc, char** argv) {
  const char* lang = nullptr;
  const char* file = nullptr;
  float fps = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") {
      Usage(stdout);
      return 0;
    }
    if ((a == "--lang" || a == "--fps") && i + 1 < argc) {
      const char* value = argv[++i];
      if (a == "--lang") {
        lang = value;
      } else {
        char* end = nullptr;
        fps = std::strtof(value, &end);
        if (!end || *end || !(fps > 0) || !std::isfinite(fps)) {
          std::fprintf(stderr, "subdump: --fps needs a positive number, not '%s'\n", value);
          return 1;
        }
      }
    } else if (a.size() > 1 && a[0] == '-') {
      std::fprintf(stderr, "subdump: unknown option '%s' (see --help)\n", a.c_str());
      return 1;
    } else if (!file) {
      file = argv[i];
    } else {
      std::fprintf(stderr, "subdump: only one FILE, please (see --help)\n");
      return 1;
    }
  }
  if (!file) {
    Usage(stderr);
    return 1;
  }
  // The filter always hands over full paths; an index file names its targets relative to its
  // own folder.
  std::error_code ec;
  const std::string full = std::filesystem::absolute(file, ec).lexically_normal().string();
  const char* path = ec ? file : full.c_str();

  SubtitleEngine engine;
  if (lang) engine.preferredLanguage = lang;
  if (engine.Load(path) != 0) {
    Explain(path);
    return 1;
  }
  engine.ConvertFramesToTime(fps);

  std::printf("format   %s\n", engine.formatName.c_str());
  std::printf("path     %s\n", engine.path.c_str());
  if (engine.streams.Count() == 0) {
    std::printf("streams  none\n");
  } else {
    std::printf("streams  %d, selected %d (%s)\n", engine.streams.Count(), engine.selectedStream,
                engine.streams.Get(engine.selectedStream).c_str());
    for (int i = 0; i < engine.streams.Count(); ++i)
      std::printf("  %c %d %s\n", i == engine.selectedStream ? '*' : ' ', i, engine.streams.Get(i).c_str());
  }
  std::printf("delay    %d ms\n", engine.fileDelay);
  if (engine.framesPending)
    std::printf("note     times are frame numbers: the file states no frame rate (give --fps)\n");
  std::printf("entries  %d (start and end in %s)\n", engine.items.Count(), engine.framesPending ? "frames" : "ms");
  for (int i = 0; i < engine.items.Count(); ++i) {
    const SubtitleItem* item = engine.items[i];
    if (item->kind == SubtitleItem::kPicture) {
      const SubtitleBitmap* b = item->picture;
      if (b && !b->Empty())
        std::printf("%10d %10d  [picture %dx%d]\n", item->start, item->end, b->width, b->height);
      else
        std::printf("%10d %10d  [picture not loaded]\n", item->start, item->end);
    } else {
      std::printf("%10d %10d  %s\n", item->start, item->end, Shown(item->text.c_str()).c_str());
    }
  }
  return 0;
}
