// avi2mp4: converts an AVI file with MPEG-4 Visual video (and MP3 audio) to a fast-start MP4.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "avi2mp4/avi2mp4.h"
#include "progress_bar.h"

namespace {

volatile int g_cancel = 0;

void on_interrupt(int) { g_cancel = 1; }

const char kHelp[] =
    "usage: avi2mp4 [-h] [-n maxframes] [--log FILE] IN.avi OUT.mp4\n"
    "\n"
    "Rewrites an AVI file holding MPEG-4 Visual video (FourCC kovu, ku45 or ku50) and optionally\n"
    "MP3 audio as an MP4 file whose moov atom comes first. The input is read twice: the first\n"
    "pass measures the index, the second writes the file.\n"
    "  -n maxframes  convert only the first maxframes video chunks\n"
    "  --log FILE    write the log to FILE (default: standard output)\n"
    "  -h            print the short usage line (exit status 1)\n"
    "  --help        print this text\n"
    "Progress is drawn on standard error; Ctrl-C stops the conversion. Exit status 0 on success,\n"
    "1 on failure.\n";

}  // namespace

int main(int argc, char** argv) {
  std::string log = "*stdout*";
  std::vector<char*> args;
  args.push_back(argv[0]);
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (std::strcmp(argv[i], "--log") == 0) {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "avi2mp4: --log needs a file name\n");
        return 1;
      }
      log = argv[++i];
      continue;
    }
    args.push_back(argv[i]);
  }
  args.push_back(nullptr);

  struct sigaction action = {};
  action.sa_handler = on_interrupt;
  action.sa_flags = SA_RESETHAND;  // a second Ctrl-C ends the program at once
  sigaction(SIGINT, &action, nullptr);

  volatile int progress = 0;
  int result;
  {
    ProgressBar bar(&progress);
    result = Avi2Mp4(static_cast<int>(args.size() - 1), args.data(), log.c_str(), &g_cancel, &progress);
  }
  if (g_cancel) std::fprintf(stderr, "avi2mp4: cancelled\n");
  return result == 0 ? 0 : 1;
}
