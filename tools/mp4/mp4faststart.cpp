// mp4faststart IN OUT: writes a copy of IN whose moov atom comes first.
#include <cstdio>
#include <cstring>

#include "mp4/mp4file.h"

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::printf("usage: mp4faststart IN OUT\n"
                "Writes a copy of the MP4 file IN to OUT with its 'moov' atom at the start,\n"
                "so that players can begin before the whole file has arrived.\n");
    return 0;
  }
  if (argc != 3) {
    std::fprintf(stderr, "usage: mp4faststart IN OUT (see --help)\n");
    return 1;
  }
  if (std::strcmp(argv[1], argv[2]) == 0) {
    std::fprintf(stderr, "mp4faststart: IN and OUT must be different files\n");
    return 1;
  }
  std::fprintf(stderr, "mp4faststart: rewriting %s ...\n", argv[1]);
  const char* error = mp4file_make_faststart(argv[1], argv[2]);
  if (error) {
    std::fprintf(stderr, "mp4faststart: %s\n", error);
    std::remove(argv[2]);
    return 1;
  }
  std::fprintf(stderr, "mp4faststart: wrote %s\n", argv[2]);
  return 0;
}
