// mp4dump FILE: prints the atom tree of an MP4 file; with --check also checks its timing tables
// against the bitstream and prints the check's log.
#include <cstdio>
#include <cstring>

#include "mp4/mp4file.h"

namespace {

void usage(std::FILE* out) {
  std::fprintf(out,
               "usage: mp4dump [--check] FILE\n"
               "Prints the atom tree of an MP4 file.\n"
               "  --check   also compare the file's timing tables with its video and audio streams\n"
               "  --help    show this text\n");
}

void print_log(void*, int level, const char* text) {
  static const char* const kPrefix[] = {"INFO    : ", "WARNING : ", "ERROR   : ", "FATAL   : "};
  std::printf("%s%s", kPrefix[level >= 0 && level <= 3 ? level : 3], text);
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = nullptr;
  bool check = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      usage(stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--check") == 0) {
      check = true;
    } else if (argv[i][0] == '-' && argv[i][1] != 0) {
      std::fprintf(stderr, "mp4dump: unknown option '%s'\n", argv[i]);
      usage(stderr);
      return 1;
    } else if (path) {
      std::fprintf(stderr, "mp4dump: only one file can be dumped\n");
      return 1;
    } else {
      path = argv[i];
    }
  }
  if (!path) {
    usage(stderr);
    return 1;
  }
  mp4file* h = mp4file_open(path);
  if (!h) {
    std::fprintf(stderr, "mp4dump: out of memory\n");
    return 1;
  }
  if (mp4file_get_error(h)) {
    std::fprintf(stderr, "mp4dump: %s: %s\n", path, mp4file_get_error(h));
    mp4file_close(h);
    return 1;
  }
  mp4file_dump(h);
  int status = 0;
  if (check) {
    std::printf("\n");
    mp4file_set_log_callback(h, print_log, nullptr);
    if (mp4file_check(h) != 0) {
      std::fprintf(stderr, "mp4dump: %s: the check failed\n", path);
      status = 1;
    }
  }
  mp4file_close(h);
  return status;
}
